// The editor's colour dialog: Qt's colour dialog with the sixteen custom colours of the settings
// section "GridColor", read before the dialog opens and written back when it closes with OK.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>

#include "model/ports.h"

class QWidget;

// Windows colour value (0x00BBGGRR) to and from a QColor.
QColor colourRefToQColor(uint32_t ref);
uint32_t qColorToColourRef(const QColor& c);

// Opens the dialog on `initialRef` (0x00BBGGRR). Returns the chosen colour as 0x00BBGGRR, or
// nothing when cancelled; the custom colours are saved only on OK.
std::optional<uint32_t> chooseColour(QWidget* parent, SettingsStore& settings,
                                     uint32_t initialRef = 0,
                                     const QString& title = QStringLiteral("Color"));
