#pragma once

#include <QJsonArray>
#include <QString>

namespace quorvelin::mcpbridge {

// Writes {"tools": tools} to `mcpsetup::toolCataloguePath()` (the application data directory of
// the identity this process has set), creating the directory when missing. The text goes to a
// temporary file that is then renamed over the old catalogue, so a sidecar reading at the same
// moment sees the old catalogue or the new one, never a part. False, with the reason in `error`,
// when anything fails; the old catalogue then stays as it was.
bool writeToolCatalogue(const QJsonArray &tools, QString *error = nullptr);

} // namespace quorvelin::mcpbridge
