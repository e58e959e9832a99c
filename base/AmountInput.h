#pragma once
#include "base/Money.h"

#include <QString>

#include <optional>

// A Chinese input method types digits, the point and the signs in their full-width forms
// ("１２．５"); these become their ASCII forms ("12.5"), and an ideographic space a blank.
// Every other character stays as it is, so the amount rule still refuses what is no number.
QString NarrowAmountText(const QString &text);

// An amount as the user typed it in any amount field of the program: narrowed as above,
// then the amount rule of the entry fields. Nothing when the rule refuses it.
std::optional<TFen> TypedAmount(const QString &typed);
