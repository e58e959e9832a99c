#pragma once
#include "output/SheetExport.h"

class ISession;
class TTransPanel;

// Connects the four export entries of the browsing view's popup menus.
void ConnectExportCommands(ISession &session, TTransPanel &panel);
