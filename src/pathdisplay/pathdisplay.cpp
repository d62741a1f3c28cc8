#include "pathdisplay/pathdisplay.h"

#include <QDir>

namespace quorvelin::pathdisplay {

QString mask(const QString &path) {
    if (path.isEmpty())
        return path;
    const QString slashed = QDir::fromNativeSeparators(path);
    // The home directory as reported, without trailing slashes; "/" alone stays "/".
    QString home = QDir::fromNativeSeparators(QDir::homePath());
    while (home.size() > 1 && home.endsWith(QLatin1Char('/')))
        home.chop(1);
    const qsizetype length = home.size();
    if (length > 0 && slashed.startsWith(home) &&
        (slashed.size() == length || slashed.at(length) == QLatin1Char('/')))
        return QLatin1Char('~') + slashed.mid(length);
    return slashed;
}

QString forDisplay(const QString &path) {
    if (path.isEmpty())
        return path;
    return QDir::toNativeSeparators(mask(path));
}

} // namespace quorvelin::pathdisplay
