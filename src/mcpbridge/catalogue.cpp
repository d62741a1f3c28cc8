#include "mcpbridge/catalogue.h"

#include "mcpsetup/identity.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QSaveFile>

namespace quorvelin::mcpbridge {

bool writeToolCatalogue(const QJsonArray &tools, QString *error) {
    const QString path = mcpsetup::toolCataloguePath();
    QSaveFile file(path);
    const QByteArray text = QJsonDocument(QJsonObject{{QStringLiteral("tools"), tools}})
                                .toJson(QJsonDocument::Indented);
    if (QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
        file.write(text) == text.size() && file.commit())
        return true;
    if (error)
        *error = QObject::tr("无法写入工具目录 %1：%2").arg(path, file.errorString());
    return false;
}

} // namespace quorvelin::mcpbridge
