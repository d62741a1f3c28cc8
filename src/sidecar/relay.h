#pragma once

#include "sidecar/answer.h"

#include <QByteArrayView>

// The fast way of a GUI program's reply into the answer. Internal to the sidecar.
namespace quorvelin::sidecar {

// Appends to `out` the compact JSON that Qt's serialiser writes for
// QJsonDocument::fromJson(reply).object(), byte for byte, and returns true, when the reply keeps
// to the simple form nearly every reply has: one object of objects, arrays, strings of printable
// ASCII without escapes, whole numbers of at most 15 digits, true, false and null, with no key
// twice and at most a few thousand values. Long strings are only pointed at, so `reply` must stay
// alive until `out` is written. Returns false, with `out` unchanged, for anything else; the caller
// then takes Qt's way. `isError` tells whether the object's "isError" member is true.
bool relayReply(QByteArrayView reply, Pieces *out, bool *isError);

} // namespace quorvelin::sidecar
