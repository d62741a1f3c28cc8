#include "support/cases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

namespace quorvelin::testsupport {

void addCaseRows(const QString &dir) {
    QTest::addColumn<QJsonObject>("testCase");
    const QStringList files = QDir(dir).entryList({QStringLiteral("*.json")}, QDir::Files);
    QVERIFY2(!files.isEmpty(), qPrintable(dir));
    for (const QString &file : files) {
        QJsonParseError error;
        QJsonObject table = QJsonDocument::fromJson(readFile(dir + u'/' + file), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError,
                 qPrintable(file + u' ' + error.errorString()));
        const QJsonArray cases = table.take(QStringLiteral("cases")).toArray();
        for (const QJsonValue &row : cases) {
            QJsonObject testCase = row.toObject();
            for (auto it = table.constBegin(); it != table.constEnd(); ++it)
                testCase.insert(it.key(),
                                testCase.value(it.key()).isUndefined() ? *it : testCase[it.key()]);
            QTest::newRow(qPrintable(file.chopped(5) + QStringLiteral(": ") +
                                     testCase.value(QStringLiteral("name")).toString()))
                << testCase;
        }
    }
}

std::vector<std::unique_ptr<ScopedEnv>> caseEnv(const QJsonObject &testCase) {
    std::vector<std::unique_ptr<ScopedEnv>> vars;
    const QJsonObject env = testCase.value(QStringLiteral("env")).toObject();
    for (auto it = env.begin(); it != env.end(); ++it) {
        // An empty string must stay non-null: it sets the variable empty instead of removing it.
        const QByteArray value =
            it->isNull() ? QByteArray() : QByteArray("") + it->toString().toUtf8();
        vars.push_back(std::make_unique<ScopedEnv>(it.key().toUtf8().constData(), value));
    }
    return vars;
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

QString shown(const QJsonValue &value) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact))
        .chopped(1)
        .mid(1);
}

QString fill(QString text, const Tokens &tokens, bool inPattern) {
    for (const auto &[token, value] : tokens)
        text.replace(token, inPattern ? QRegularExpression::escape(value) : value);
    return text;
}

QString jsonMismatch(const QJsonValue &expected, const QJsonValue &actual, const Tokens &tokens,
                     const QString &where) {
    const QJsonObject e = expected.toObject();
    const bool bounds = e.contains(QStringLiteral("min")) || e.contains(QStringLiteral("max"));
    if (bounds && actual.isDouble()) {
        const double n = actual.toDouble();
        const bool inside = n >= e.value(QStringLiteral("min")).toDouble(n) &&
                            n <= e.value(QStringLiteral("max")).toDouble(n);
        return inside ? QString()
                      : QStringLiteral("%1: %2 out of %3").arg(where, shown(actual), shown(e));
    }
    if (expected.isObject() && actual.isObject()) {
        for (auto it = e.begin(); it != e.end(); ++it) {
            const QString m = jsonMismatch(*it, actual[it.key()], tokens, where + u'.' + it.key());
            if (!m.isEmpty())
                return m;
        }
        return QString();
    }
    const QJsonArray a = actual.toArray();
    if (expected.isArray() && actual.isArray() && a.size() == expected.toArray().size()) {
        for (qsizetype i = 0; i < a.size(); ++i) {
            const QString m = jsonMismatch(expected[i], a.at(i), tokens,
                                           QStringLiteral("%1[%2]").arg(where).arg(i));
            if (!m.isEmpty())
                return m;
        }
        return QString();
    }
    const QString text = expected.toString();
    const bool fits = !expected.isString() || !actual.isString() ? expected == actual
                      : text.startsWith(QLatin1String("re:"))
                          ? QRegularExpression(fill(text.mid(3), tokens, true))
                                .match(actual.toString())
                                .hasMatch()
                          : fill(text, tokens) == actual.toString();
    return fits ? QString()
                : QStringLiteral("%1: expected %2\ngot %3")
                      .arg(where, expected.isString() ? text : shown(expected),
                           actual.isString() ? actual.toString() : shown(actual));
}

} // namespace quorvelin::testsupport
