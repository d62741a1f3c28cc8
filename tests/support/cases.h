#pragma once

#include "support/scopedenv.h"

#include <QJsonObject>
#include <QString>

#include <memory>
#include <vector>

// Case files: readable tables of test cases that one generic runner per test replays.
namespace quorvelin::testsupport {

// Adds the Qt Test column "testCase" (QJsonObject) and one row per case of every *.json file in
// `dir`, named "<file>: <case name>". A file is {"about": text, "defaults": {...}, "cases":
// [{"name": ..., ...}]}; each case is merged over the defaults. A broken file fails the test.
void addCaseRows(const QString &dir);

// Sets the case's "env" members (a null value removes the variable) while it lives.
class CaseEnv {
public:
    explicit CaseEnv(const QJsonObject &testCase);

private:
    std::vector<std::unique_ptr<ScopedEnv>> vars_;
};

} // namespace quorvelin::testsupport
