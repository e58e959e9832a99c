#pragma once
#include <QString>

// A Chinese input method types digits, the point and the signs in their full-width forms
// ("１２．５"); these become their ASCII forms ("12.5"), and an ideographic space a blank.
// Every other character stays as it is, so the amount rule still refuses what is no number.
QString NarrowAmountText(const QString &text);
