#pragma once

#include "support/scopedenv.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

// Case files: readable tables of test cases that one generic runner per test replays, and the
// helpers the runners share to lay out files and to say why a result is not the expected one.
namespace quorvelin::testsupport {

// Adds the Qt Test column "testCase" (QJsonObject) and one row per case of every *.json file in
// `dir`, named "<file>: <case name>". A file is {"about": text, "cases": [{"name": ...}, ...]};
// its other members are given to every case that does not have them. A file that does not
// parse fails the test.
void addCaseRows(const QString &dir);

// Sets the case's "env" members (a null value removes the variable) while the result lives.
std::vector<std::unique_ptr<ScopedEnv>> caseEnv(const QJsonObject &testCase);

// The file's bytes, or "<unreadable>".
QByteArray readFile(const QString &path);
// Writes the file whole, making its directory first.
bool writeFile(const QString &path, const QByteArray &bytes);

// Any JSON value as one line of JSON text.
QString shown(const QJsonValue &value);

// Placeholders and their values, replaced in order.
using Tokens = QList<std::pair<QString, QString>>;
// `text` with the tokens replaced; in a regular expression the values are escaped.
QString fill(QString text, const Tokens &tokens, bool inPattern = false);

// Why `actual` fails `expected` (tokens filled), empty when it does not: objects by the members
// they name, arrays element by element, {"min", "max"} bounds a number, a string "re:..." is a
// regular expression that must match. Failures start with `where`.
QString jsonMismatch(const QJsonValue &expected, const QJsonValue &actual, const Tokens &tokens,
                     const QString &where);

} // namespace quorvelin::testsupport
