#pragma once
#include "output/SheetExport.h"

class QAbstractItemView;
class TfrmMain;

// The rows of a list view with the captions of its visible columns.
TListData CollectRows(const QAbstractItemView *listView);

// The spreadsheet and web page exports of the browsing view.
void mnuCatesExport_ToXlsClick(TfrmMain &main);
void btnTransMore_ToXlsClick(TfrmMain &main);
void mnuCatesExport_ToHtmlClick(TfrmMain &main);
void btnTransMore_ToHtmlClick(TfrmMain &main);

// Connects the four export entries of the browsing view's popup menus.
void ConnectExportCommands(TfrmMain &main);
