#include "mcpsetup/enums.h"

#include <QMetaProperty>

namespace quorvelin::mcpsetup {

namespace {

template <typename Enum> struct Label {
    Enum value;
    const char *text;
};

// The first row stands in for values outside the enumeration.
template <typename Enum, size_t Size>
QString labelOf(const Label<Enum> (&labels)[Size], Enum value) {
    for (const Label<Enum> &label : labels) {
        if (label.value == value)
            return QObject::tr(label.text);
    }
    return QObject::tr(labels[0].text);
}

const Label<ClientFormat> kFormatLabels[] = {
    {ClientFormat::McpServersJson, QT_TRANSLATE_NOOP("QObject", "JSON · mcpServers")},
    {ClientFormat::ZedContextServers, QT_TRANSLATE_NOOP("QObject", "JSON · context_servers")},
    {ClientFormat::OpenCodeMcp, QT_TRANSLATE_NOOP("QObject", "JSON · mcp")},
    {ClientFormat::CodexToml, QT_TRANSLATE_NOOP("QObject", "TOML · [mcp_servers.*]")},
};

const Label<IntegrationState> kStateLabels[] = {
    {IntegrationState::NotInstalled, QT_TRANSLATE_NOOP("QObject", "未接入")},
    {IntegrationState::Installed, QT_TRANSLATE_NOOP("QObject", "已接入")},
    {IntegrationState::Mismatch,
     QT_TRANSLATE_NOOP("QObject", "条目不符：命令为空、指向别处或文件不存在")},
    {IntegrationState::Unreadable,
     QT_TRANSLATE_NOOP("QObject", "无法读取：文件打不开或不是有效的 JSON")},
};

const Label<FindingState> kFindingLabels[] = {
    {FindingState::Ok, QT_TRANSLATE_NOOP("QObject", "正常")},
    {FindingState::Warning, QT_TRANSLATE_NOOP("QObject", "警告")},
    {FindingState::Problem, QT_TRANSLATE_NOOP("QObject", "问题")},
};

} // namespace

QString formatLabel(ClientFormat format) {
    return labelOf(kFormatLabels, format);
}

QString integrationStateLabel(IntegrationState state) {
    return labelOf(kStateLabels, state);
}

QString findingStateLabel(FindingState state) {
    return labelOf(kFindingLabels, state);
}

QDebug debugRecord(QDebug debug, const QMetaObject &meta, const void *record) {
    const QDebugStateSaver saver(debug);
    const QString name = QString::fromLatin1(meta.className()).section(QStringLiteral("::"), -1);
    debug.nospace().noquote() << name << '(';
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        const QVariant value = property.readOnGadget(record);
        debug << (i > meta.propertyOffset() ? ", " : "") << property.name() << '=';
        if (property.isEnumType())
            debug << property.enumerator().valueToKey(value.toInt());
        else if (value.typeId() == QMetaType::QString)
            debug.quote() << value.toString(), debug.noquote();
        else
            debug << value.toString();
    }
    return debug << ')';
}

} // namespace quorvelin::mcpsetup
