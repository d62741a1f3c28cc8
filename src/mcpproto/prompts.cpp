#include "mcpproto/prompts.h"

#include "mcpproto/texts.h"

#include <iterator>

namespace quorvelin::mcpproto {

namespace {

struct PromptArgDef {
    const char *name;
    const char *description;
    bool required;
};

using TextBuilder = QString (*)(const QJsonObject &arguments);

struct PromptDef {
    const char *name;
    const char *description;
    const PromptArgDef *arguments;
    int argumentCount;
    TextBuilder buildText;
};

// The trimmed string argument, or the fallback when it is missing, not a string or blank.
QString promptArg(const QJsonObject &arguments, const char *key, const char *fallback) {
    const QString value = arguments.value(QLatin1String(key)).toString().trimmed();
    return value.isEmpty() ? QString::fromUtf8(fallback) : value;
}

// Out-of-range values fall back to the default rather than being clamped.
int rangedArg(const QJsonObject &arguments, const char *key, int fallback, int low, int high) {
    bool ok = false;
    const int value = promptArg(arguments, key, "").toInt(&ok, 10);
    return ok && value >= low && value <= high ? value : fallback;
}

QString withCount(const char *textName, int count) {
    return resourceText(QString::fromLatin1(textName))
        .replace(QStringLiteral("%1"), QString::number(count));
}

QString annotateText(const QJsonObject &) {
    return resourceText(QStringLiteral("annotate-active-window.md"));
}

QString compareText(const QJsonObject &) {
    return resourceText(QStringLiteral("compare-before-after.md"));
}

QString findErrorText(const QJsonObject &) {
    return resourceText(QStringLiteral("find-error-on-screen.md"));
}

QString tutorialText(const QJsonObject &arguments) {
    return withCount("make-tutorial.md", rangedArg(arguments, "steps", 5, 2, 10));
}

QString archiveText(const QJsonObject &arguments) {
    return withCount("archive-recent.md", rangedArg(arguments, "count", 30, 5, 200));
}

const PromptArgDef kArgsMakeTutorial[] = {
    {"steps", "教程总步数(默认 5,范围 2-10)", false},
};

const PromptArgDef kArgsArchiveRecent[] = {
    {"count", "考察最近多少张(默认 30,范围 5-200)", false},
};

const PromptDef kPromptDefs[] = {
    {"annotate-active-window", "截当前活动窗口 + AI 圈出关键 UI 元素 + 复制到剪贴板", nullptr, 0,
     annotateText},
    {"compare-before-after", "截基线图 → 等用户操作 → 再截 → diff + 标差异", nullptr, 0,
     compareText},
    {"find-error-on-screen", "截屏 + OCR 抓堆栈/告警 → 解释错误 + 给修复建议", nullptr, 0,
     findErrorText},
    {"make-tutorial", "引导用户按步骤操作 + 连续截图加序号 → 输出 markdown 教程", kArgsMakeTutorial,
     int(std::size(kArgsMakeTutorial)), tutorialText},
    {"archive-recent", "列最近 N 张历史截图 → 按主题分组 → 建议保留/删", kArgsArchiveRecent,
     int(std::size(kArgsArchiveRecent)), archiveText},
};

} // namespace

QJsonArray promptsList() {
    QJsonArray prompts;
    for (const PromptDef &def : kPromptDefs) {
        QJsonObject prompt{{QStringLiteral("name"), QString::fromUtf8(def.name)},
                           {QStringLiteral("description"), QString::fromUtf8(def.description)}};
        if (def.argumentCount > 0) {
            QJsonArray arguments;
            for (int i = 0; i < def.argumentCount; ++i) {
                const PromptArgDef &arg = def.arguments[i];
                arguments.append(
                    QJsonObject{{QStringLiteral("name"), QString::fromUtf8(arg.name)},
                                {QStringLiteral("description"), QString::fromUtf8(arg.description)},
                                {QStringLiteral("required"), arg.required}});
            }
            prompt.insert(QStringLiteral("arguments"), arguments);
        }
        prompts.append(prompt);
    }
    return prompts;
}

QJsonObject promptGet(const QString &name, const QJsonObject &arguments, bool *found) {
    for (const PromptDef &def : kPromptDefs) {
        if (name != QLatin1String(def.name))
            continue;
        if (found)
            *found = true;
        const QJsonObject content{{QStringLiteral("type"), QStringLiteral("text")},
                                  {QStringLiteral("text"), def.buildText(arguments)}};
        const QJsonObject message{{QStringLiteral("role"), QStringLiteral("user")},
                                  {QStringLiteral("content"), content}};
        return QJsonObject{{QStringLiteral("description"), QString::fromUtf8(def.description)},
                           {QStringLiteral("messages"), QJsonArray{message}}};
    }
    if (found)
        *found = false;
    return QJsonObject();
}

} // namespace quorvelin::mcpproto
