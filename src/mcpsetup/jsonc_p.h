#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <vector>

// JSON with comments ("//" and "/* */") and trailing commas, as some clients accept in their
// settings files: a reader that knows where the text of every value and member lies, so that an
// edit can change only what it must. Internal to the setup module.
namespace quorvelin::mcpsetup {

struct JsoncMember;

struct JsoncValue {
    QJsonValue value;                 // the value itself, comments and trailing commas dropped
    qsizetype start = 0;              // its text is [start, end) of the document's bytes
    qsizetype end = 0;                //
    std::vector<JsoncMember> members; // objects: the members in file order
};

struct JsoncMember {
    QString key;
    qsizetype keyStart = 0; // the key's opening quote
    JsoncValue value;
    qsizetype comma = -1; // the comma after the member, -1 when none follows
};

struct JsoncDocument {
    QString error;     // empty when the text is JSON with comments; otherwise where and why not
    int errorLine = 0; // the line of the error, from 1
    JsoncValue root;
};

// Reads `text` (UTF-8, a byte order mark allowed). Fails, with the line and column in `error`,
// on an unterminated comment or string, a bad escape or number, invalid UTF-8 in a string, a key
// that repeats within one object, nesting deeper than 256, or anything that is not a value.
JsoncDocument readJsonc(const QByteArray &text);

// The member `key` of an object value, or null.
const JsoncMember *jsoncMember(const JsoncValue &object, const QString &key);

// Edits of one object member, keeping every byte outside the text that changes. `text` is the
// document's text, `object` a value of it that is an object. Each returns the new text.

// Sets member `key` to `value`: its value text replaced when the member exists, otherwise a new
// member after the last one, on a line of its own indented like its neighbours and ended as the
// file's lines are (inline in an object written on one line).
QByteArray setJsoncMember(const QByteArray &text, const JsoncValue &object, const QString &key,
                          const QJsonValue &value);
// Deletes member `key` with its comma, and with its own line when it stands on one.
QByteArray removeJsoncMember(const QByteArray &text, const JsoncValue &object, const QString &key);

} // namespace quorvelin::mcpsetup
