#pragma once

#include <QObject>

// End to end through the real sidecar and the bridge stand-in, each case in its own home and
// TMPDIR. The slot bodies carry raw JSON literals that moc cannot scan, hence this header.
class TestBridge : public QObject {
    Q_OBJECT

private slots:
    void withoutGui_data();
    void withoutGui();
    void replies_data();
    void replies();
    void requestShapes_data();
    void requestShapes();
    void yieldRetry_data();
    void yieldRetry();
    void ordering_data();
    void ordering();
    void worlds_data();
    void worlds();
    void standInSocketFile();
};
