#pragma once

#include <QStringList>

class QSerialPort;

// Holds the program's only serial port, which both tabs use in turn.
class SerialHelper
{
public:
    // Entries of the form "<port name> <description>", in the order the system reports them.
    QStringList scanPorts();

    QSerialPort *port = nullptr;
};
