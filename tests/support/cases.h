#pragma once

#include "support/scopedenv.h"

#include <QJsonObject>
#include <QString>

#include <memory>
#include <vector>

// Case files: readable tables of test cases that one generic runner per test replays.
namespace quorvelin::testsupport {

// Adds the Qt Test column "testCase" (QJsonObject) and one row per case of every *.json file in
// `dir`, named "<file>: <case name>". A file is {"about": text, "cases": [{"name": ...}, ...]};
// a file that does not parse fails the test.
void addCaseRows(const QString &dir);

// Sets the case's "env" members (a null value removes the variable) while the result lives.
std::vector<std::unique_ptr<ScopedEnv>> caseEnv(const QJsonObject &testCase);

} // namespace quorvelin::testsupport
