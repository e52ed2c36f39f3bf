#pragma once

#include <QString>

#include <functional>

// Turning the text of a port box into the name QSerialPort opens. Pure functions: no widgets,
// no port.

// Scanned entries read "<name> <description>"; typed names ("/dev/pts/3", "COM12") usually
// have no description, but a typed path may hold a space. So: the whole text when it names an
// existing device, otherwise the text before the first space (the whole text when it has none).
QString portNameFromEntry(const QString &entryText);
// The same with the existence check given (tests, fuzzing): `deviceExists` gets the whole
// text, and only when it holds a space.
QString portNameFromEntry(const QString &entryText,
                          const std::function<bool(const QString &)> &deviceExists);

// Where QSerialPort looks for `name` on Unix: a path as it stands, any other name in /dev.
QString deviceLocation(const QString &name);

// Windows opens COM10 and above only through the device namespace "\\.\"; four characters and
// less (COM1..COM9) go as they are, and a name that already carries the prefix is kept.
QString withDevicePrefix(const QString &name);

// What QSerialPort::setPortName gets on this platform.
QString systemPortName(const QString &name);

// The device a port name stands for, to tell two names of one port apart: on Unix the file
// QSerialPort opens (a path as it is, any other name under /dev, so "ttyUSB0" and
// "/dev/ttyUSB0" are one), on Windows the name with its device prefix.
QString portLocation(const QString &name);
