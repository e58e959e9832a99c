#pragma once
#include <functional>

class ISession;
class QMenu;

// Adds "导入账单..." and "撤销上次导入" to the main menu at its end. itemsChanged runs after
// an import that may have added items to the user's item lists.
void AddImportCommands(QMenu *menu, ISession &session, std::function<void()> itemsChanged);

// The two commands.
void ImportBillCommand(ISession &session, const std::function<void()> &itemsChanged);
void UndoImportCommand(ISession &session);
