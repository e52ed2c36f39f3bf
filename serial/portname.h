#pragma once

#include <QString>

// Turning the text of a port box into the name QSerialPort opens. Pure functions: no widgets,
// no port.

// The text before the first space, or the whole text when it has none. Scanned entries read
// "<name> <description>"; typed names ("/dev/pts/3", "COM12") usually have no description.
QString portNameFromEntry(const QString &entryText);

// Windows opens COM10 and above only through the device namespace "\\.\"; four characters and
// less (COM1..COM9) go as they are, and a name that already carries the prefix is kept.
QString withDevicePrefix(const QString &name);

// What QSerialPort::setPortName gets on this platform.
QString systemPortName(const QString &name);

// The device a port name stands for, to tell two names of one port apart: on Unix the file
// QSerialPort opens (a path as it is, any other name under /dev, so "ttyUSB0" and
// "/dev/ttyUSB0" are one), on Windows the name with its device prefix.
QString portLocation(const QString &name);
