#include "pathdisplay/pathdisplay.h"

#include "pathdisplay/folds.h"

#include <QDir>

#include <algorithm>

namespace quorvelin::pathdisplay {

void appendFold(QList<Fold> &rules, const QString &token, const QString &directory) {
    QString prefix = QDir::fromNativeSeparators(directory);
    while (prefix.size() > 1 && prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    if (!prefix.isEmpty())
        rules.append(Fold{token, prefix});
}

QList<Fold> orderFolds(const QList<Fold> &raw) {
    QList<Fold> rules;
    for (const Fold &candidate : raw) {
        const bool known = std::any_of(rules.cbegin(), rules.cend(), [&](const Fold &rule) {
            return rule.prefix.compare(candidate.prefix, Qt::CaseInsensitive) == 0;
        });
        if (!known)
            rules.append(candidate);
    }
    std::stable_sort(rules.begin(), rules.end(), [](const Fold &a, const Fold &b) {
        return a.prefix.size() > b.prefix.size();
    });
    return rules;
}

QList<Fold> folds() {
    QList<Fold> raw;
    appendFold(raw, QStringLiteral("~"), QDir::homePath());
    return orderFolds(raw);
}

QString mask(const QString &path) {
    if (path.isEmpty())
        return path;
    const QString slashed = QDir::fromNativeSeparators(path);
    for (const Fold &rule : folds()) {
        const qsizetype length = rule.prefix.size();
        if (slashed.startsWith(rule.prefix) &&
            (slashed.size() == length || slashed.at(length) == QLatin1Char('/')))
            return rule.token + slashed.mid(length);
    }
    return slashed;
}

QString forDisplay(const QString &path) {
    if (path.isEmpty())
        return path;
    return QDir::toNativeSeparators(mask(path));
}

} // namespace quorvelin::pathdisplay
