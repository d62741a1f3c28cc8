#pragma once

#include <QList>
#include <QString>

// Internal to path masking; tests include it as well.
namespace quorvelin::pathdisplay {

// One fold rule: `prefix` (forward slashes, no trailing slash unless it is "/") shows as `token`.
struct Fold {
    QString token;
    QString prefix;
};

// Appends the rule for `directory` (native or forward separators); an empty directory adds none.
void appendFold(QList<Fold> &rules, const QString &token, const QString &directory);
// Drops rules whose prefix repeats an earlier one (ignoring case), then puts longer prefixes first.
QList<Fold> orderFolds(const QList<Fold> &raw);
// The rules in force now: "~" for the home directory.
QList<Fold> folds();

} // namespace quorvelin::pathdisplay
