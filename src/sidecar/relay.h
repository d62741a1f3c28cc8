#pragma once

#include "sidecar/answer.h"

#include <QByteArrayView>
#include <QVarLengthArray>

// The fast way of JSON text through the sidecar, beside Qt's. Internal to the sidecar.
namespace quorvelin::sidecar {

// JSON text of the plain form nearly every message and reply has: one object of objects, arrays,
// strings of printable ASCII without escapes, whole numbers of at most 15 digits, true, false
// and null, with no key twice and at most a few thousand values. For such text the compact JSON
// that Qt's serialiser writes for QJsonDocument::fromJson(text).object() is the text's own tokens
// with the members of each object sorted by key, so it is written without Qt's objects.
class PlainJson {
public:
    // False, for anything but the plain form; nothing else is then valid.
    bool parse(QByteArrayView text);

    // The length of the text parsed.
    qsizetype size() const { return size_; }
    // The value of the member `key` of `object` (0 is the whole object), or -1.
    int member(QByteArrayView key, int object = 0) const;
    // '{' for an object, '[' for an array, 's' for a scalar.
    char kind(int value) const { return values_[value].kind; }
    // A scalar's text as written (a string with its quotes); empty for an object or array.
    QByteArrayView scalar(int value) const { return values_[value].text; }
    // A value in compact JSON as Qt writes it; 0 is the whole object. Long strings are only
    // pointed at, so the text must stay alive until `out` is written.
    void write(int value, Pieces *out) const;

    struct Value {
        QByteArrayView key;  // of an object's member, without the quotes
        QByteArrayView text; // of a scalar
        int first = -1;      // of an object or array: its first member or element
        int next = -1;       // the next member or element of the same parent
        char kind = 0;       // '{', '[' or 's' for a scalar
    };

private:
    QVarLengthArray<Value, 32> values_;
    qsizetype size_ = 0;
};

// Appends to `out` the compact JSON that Qt's serialiser writes for
// QJsonDocument::fromJson(reply).object() and returns true, when the reply is plain JSON (see
// PlainJson); `isError` tells whether its "isError" member is true. False, with `out` unchanged,
// for anything else; the caller then takes Qt's way. `reply` must outlive `out`.
bool relayReply(QByteArrayView reply, Pieces *out, bool *isError);

} // namespace quorvelin::sidecar
