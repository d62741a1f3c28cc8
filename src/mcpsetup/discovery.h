#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace quorvelin::mcpsetup {

// One Claude Code configuration file that can be offered as an install target.
struct ClaudeCodeTarget {
    Q_GADGET
    Q_PROPERTY(QString label MEMBER label)
    Q_PROPERTY(QString configPath MEMBER configPath)
    Q_PROPERTY(bool isDefault MEMBER isDefault)

public:
    // Shown to the user.
    QString label;
    // Absolute path of the target's .claude.json, native separators; it may not exist yet.
    QString configPath;
    // True for the build's own default file, which always comes first.
    bool isDefault = false;
};

// The default Claude Code configuration of this build, then every numbered instance directory
// of this build's kind in the home directory, by instance number. A development build and an
// installed one never see each other's targets. Never fails: an unreadable home yields the
// default target alone.
QList<ClaudeCodeTarget> discoverClaudeCodeTargets();

} // namespace quorvelin::mcpsetup
