#pragma once

class QSerialPort;

// Holds the program's only serial port, which both tabs use in turn.
class SerialHelper
{
public:
    QSerialPort *port = nullptr;
};
