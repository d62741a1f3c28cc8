#include "mcpsetup/discovery.h"

#include "mcpsetup/clients.h"
#include "mcpsetup/identity.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

#include <algorithm>

namespace quorvelin::mcpsetup {

namespace {

struct Variant {
    const char *defaultLabel;
    const char *instancePattern;
    const char *instanceLabel;
};

const Variant kDevelopment{QT_TRANSLATE_NOOP("QObject", "开发环境（默认）"),
                           R"(^\.claude-dev-instance-(\d+)$)",
                           QT_TRANSLATE_NOOP("QObject", "开发实例 %1")};
const Variant kRelease{QT_TRANSLATE_NOOP("QObject", "本地生产环境（全局）"),
                       R"(^\.claude-instance-(\d+)$)", QT_TRANSLATE_NOOP("QObject", "实例 %1")};

QString translated(const char *source) {
    return QCoreApplication::translate("QObject", source);
}

struct Instance {
    int number = 0;
    ClaudeCodeTarget target;
};

QList<Instance> findInstances(const Variant &variant) {
    const QString home = QDir::homePath();
    const QRegularExpression pattern(QLatin1String(variant.instancePattern));
    QList<Instance> instances;
    const QStringList names =
        QDir(home).entryList({QStringLiteral(".claude-*")},
                             QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        bool fits = false;
        int number = match.captured(1).toInt(&fits);
        if (!fits)
            number = 0;
        instances.append({number,
                          {translated(variant.instanceLabel).arg(number),
                           QDir::toNativeSeparators(home + QLatin1Char('/') + name +
                                                    QStringLiteral("/.claude.json")),
                           false}});
    }
    std::stable_sort(instances.begin(), instances.end(),
                     [](const Instance &a, const Instance &b) { return a.number < b.number; });
    return instances;
}

} // namespace

QList<ClaudeCodeTarget> discoverClaudeCodeTargets() {
    const Variant &variant = isDevBuild() ? kDevelopment : kRelease;
    QList<ClaudeCodeTarget> targets{
        {translated(variant.defaultLabel), QDir::toNativeSeparators(claudeCodeConfigPath()), true}};
    const QList<Instance> instances = findInstances(variant);
    for (const Instance &instance : instances)
        targets.append(instance.target);
    return targets;
}

} // namespace quorvelin::mcpsetup
