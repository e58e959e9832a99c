#pragma once
#include <QString>

class TReportLabel;

// Gives an auto-sized label the caption text, shortened when it is wider than maxWidth:
// whole characters (grapheme clusters) are dropped from the end and "…" is appended, so
// that a printed cell never shows half a character. Returns the caption set.
QString SetFittedCaption(TReportLabel &label, const QString &text, int maxWidth);
