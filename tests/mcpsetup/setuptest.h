#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <tuple>

// What the setup-side tests share: data rows, whole files, and golden files with placeholders.
namespace setuptest {

// One row of the current data table, its values in column order.
template <typename... T> void row(const char *name, const T &...values) {
    (QTest::newRow(name) << ... << values);
}

// The columns op, input and expected, and the current row's values of them.
inline void columns() {
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
}
inline std::tuple<int, QString, QString> fetch() {
    const auto value = [](const char *name, int type) { return QTest::qData(name, type); };
    return {*static_cast<int *>(value("op", QMetaType::Int)),
            *static_cast<QString *>(value("input", QMetaType::QString)),
            *static_cast<QString *>(value("expected", QMetaType::QString))};
}

inline QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

inline bool write(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

using Tokens = QList<std::pair<QString, QString>>; // placeholder, value

inline QString fill(QString text, const Tokens &tokens) {
    for (const auto &[token, value] : tokens)
        text.replace(token, value);
    return text;
}

// Byte for byte, so that a byte order mark stays (QString would drop it).
inline QByteArray fill(QByteArray text, const Tokens &tokens, bool back = false) {
    for (const auto &[token, value] : tokens)
        back ? text.replace(value.toUtf8(), token.toUtf8())
             : text.replace(token.toUtf8(), value.toUtf8());
    return text;
}

// The golden file with its placeholders filled. QUORVELIN_REGENERATE_GOLDEN=1 first rewrites it
// from `actual`, each value turned back into its placeholder.
inline QByteArray golden(const QString &path, const QByteArray &actual, const Tokens &tokens) {
    if (qEnvironmentVariableIntValue("QUORVELIN_REGENERATE_GOLDEN") == 1)
        write(path, fill(actual, tokens, true));
    return fill(readAll(path), tokens);
}

} // namespace setuptest
