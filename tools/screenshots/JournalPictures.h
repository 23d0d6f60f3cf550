#pragma once

// Pictures of kalmofax's journal window with rows in several states, and the first page of a
// send report as PDF (scripts/screenshots makes it a PNG), for the documentation.

#include <QString>

// <folder>/journal-window-<suffix>.png and <folder>/send-report-<suffix>.pdf in the language
// code ("" German, "EN"); false when one could not be written.
bool SaveJournalPictures(const QString& folder, const QString& suffix, const QString& code);
