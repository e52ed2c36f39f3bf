#pragma once

#include <QCoreApplication>
#include <QString>

// Line settings read from the texts of a tab's settings boxes. The baud box is editable, so
// its text is checked: a port is not opened at a rate nobody meant. The other boxes offer
// fixed choices; unknown values fall back to 8N1. Plain values, so the conversion needs no
// serial port; PortController hands them to QSerialPort.
class PortSettings
{
    Q_DECLARE_TR_FUNCTIONS(PortSettings)

public:
    enum class Parity { None, Even, Odd };

    // The parity box's entries, "无", "偶", "奇", in the interface's language.
    static QString parityText(Parity parity);

    // The slowest rate termios names (B50) to the fastest USB serial adapters sold (12 Mbaud).
    static constexpr qint32 MinBaudRate = 50;
    static constexpr qint32 MaxBaudRate = 12000000;

    // A baud text that is no rate leaves baudRate 0 and says why in `problem`.
    static PortSettings fromTexts(const QString &baudRate, const QString &dataBits,
                                  const QString &parity, const QString &stopBits);
    // The rate in `text` (white space around it allowed), or 0 with the reason in `problem`:
    // "波特率不能为空", "波特率必须是正整数", "波特率超出范围（50～12000000）".
    static qint32 parseBaudRate(const QString &text, QString *problem);

    bool isValid() const { return problem.isEmpty(); }

    QString problem;
    qint32 baudRate = 0;
    int dataBits = 8; // 5 to 8
    Parity parity = Parity::None;
    int stopBits = 1; // 1 or 2
};
