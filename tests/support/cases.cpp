#include "support/cases.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace quorvelin::testsupport {

void addCaseRows(const QString &dir) {
    QTest::addColumn<QJsonObject>("testCase");
    const QStringList files = QDir(dir).entryList({QStringLiteral("*.json")}, QDir::Files);
    QVERIFY2(!files.isEmpty(), qPrintable(dir));
    for (const QString &file : files) {
        QFile in(dir + QLatin1Char('/') + file);
        QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(file));
        QJsonParseError error;
        const QJsonObject table = QJsonDocument::fromJson(in.readAll(), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError,
                 qPrintable(file + QLatin1Char(' ') + error.errorString()));
        for (const QJsonValue &row : table.value(QStringLiteral("cases")).toArray()) {
            const QString name = row.toObject().value(QStringLiteral("name")).toString();
            QTest::newRow(qPrintable(file.chopped(5) + QStringLiteral(": ") + name))
                << row.toObject();
        }
    }
}

std::vector<std::unique_ptr<ScopedEnv>> caseEnv(const QJsonObject &testCase) {
    std::vector<std::unique_ptr<ScopedEnv>> vars;
    const QJsonObject env = testCase.value(QStringLiteral("env")).toObject();
    for (auto it = env.begin(); it != env.end(); ++it) {
        const QByteArray value =
            it->isNull() ? QByteArray() : QByteArray("") + it->toString().toUtf8();
        vars.push_back(std::make_unique<ScopedEnv>(it.key().toUtf8().constData(), value));
    }
    return vars;
}

} // namespace quorvelin::testsupport
