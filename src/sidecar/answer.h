#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <variant>

// Answers of the message loop and their bytes on the wire. Internal to the sidecar.
namespace quorvelin::sidecar {

// Bytes built in pieces: short ones are copied in, long ones are only pointed at, so a reply of
// many megabytes reaches the output without another copy of it in memory. Whoever appends a
// long piece keeps its bytes alive (see `keep`) until the pieces are written or joined.
class Pieces {
public:
    void append(QByteArrayView bytes) { text_.append(bytes); }
    void append(char byte) { text_.append(byte); }
    // Pointed at from this size on; below it the copy is cheaper than a write of its own.
    static constexpr qsizetype kReferencedBytes = 64 * 1024;
    void appendSlice(QByteArrayView bytes);
    void append(const Pieces &other);
    void reserve(qsizetype bytes) { text_.reserve(bytes); }

    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    QByteArray joined() const;
    // Hands each run of bytes in order to `write` (callable with a QByteArrayView); a short
    // answer is one run.
    template <typename Write> void writeTo(Write &&write) const {
        qsizetype done = 0;
        for (const Slice &slice : slices_) {
            if (slice.at > done)
                write(QByteArrayView(text_).sliced(done, slice.at - done));
            write(slice.bytes);
            done = slice.at;
        }
        if (text_.size() > done)
            write(QByteArrayView(text_).sliced(done));
    }

    // The owner of the bytes that long pieces point into.
    QByteArray keep;

private:
    struct Slice {
        qsizetype at; // where in text_ the slice goes
        QByteArrayView bytes;
    };
    QByteArray text_;
    QList<Slice> slices_;
};

struct RpcError {
    int code = 0;
    QString message;
};

// A result already in compact JSON, byte for byte what Qt's serialiser writes for it.
struct WrittenResult {
    Pieces json;
};

// What a method answers: nothing (a notification), a result object, a result already written,
// or a JSON-RPC error.
using Outcome = std::variant<std::monostate, QJsonObject, RpcError, WrittenResult>;

// The answer line: {"id":...,"jsonrpc":"2.0","result":...} or {"error":{"code":...,
// "message":...},"id":...,"jsonrpc":"2.0"} in compact JSON with "\n", byte for byte what Qt's
// serialiser gives for that object; no "id" member when `id` is undefined. Empty for no answer.
Pieces answerLine(const QJsonValue &id, Outcome &&outcome);

} // namespace quorvelin::sidecar
