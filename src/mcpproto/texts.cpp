#include "mcpproto/texts.h"

#include <QFile>

namespace quorvelin::mcpproto {

QString resourceText(const QString &fileName) {
    QFile file(QStringLiteral(":/mcpproto/") + fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace quorvelin::mcpproto
