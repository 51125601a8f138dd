#pragma once
// The line settings the link is handed: the texts of the saved settings (or of
// the settings panel's lists while the operator edits them), as they stand.
// The link interprets them; a text it does not know leaves that part of the
// line as it is.

#include <QString>

struct LineSettings
{
    QString portName; // "COM1" ... or a device path (see DeviceModel::portDevice)
    QString speed;    // "br9600" ...
    QString model;    // a model name (DeviceModel::modelNames)
    QString unit;     // "кг" or "тонны"

    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};
