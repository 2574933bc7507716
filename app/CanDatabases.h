#pragma once

// The document's CAN databases in the main window: File > Add CAN Database..., the "CAN databases"
// node of the navigation tree with Remove on each database, and the Signals panel. The databases
// themselves are the CanDatabaseSet of the program's state, where the tests drive them; this
// shows them and forwards the user's commands.
//
// Thread: the user-interface thread.

#include "document/ProgramState.h"
#include "framework/CommandRouting.h"
#include "framework/MessageService.h"

#include <QString>

class CCoolBar;
class MainFrame;
class QTreeWidgetItem;
class SignalsPanel;

class CanDatabases final : public CommandTarget {
public:
    // The popup of a database in the tree.
    static constexpr unsigned kPopupResource = 211;
    // The Signals panel's width when it first shows; the data list keeps the rest.
    static constexpr int kPanelWidth = 360;

    CanDatabases(MainFrame& frame, ProgramState& state, MessageService& messages,
                 QTreeWidgetItem* treeRoot);
    ~CanDatabases() override;
    CanDatabases(const CanDatabases&) = delete;
    CanDatabases& operator=(const CanDatabases&) = delete;

    // Adds the file as the document's last database. False, with a message that names the line
    // that does not parse, when it was not added; a message also names the identifiers that a
    // database added before decodes instead.
    bool addFile(const QString& path);
    // Removes the database at `index` of the set.
    bool remove(std::size_t index);
    // The document's databases were replaced (New, Open): everything that shows them follows.
    void documentChanged();

    [[nodiscard]] QTreeWidgetItem* node() const { return m_node; }
    [[nodiscard]] SignalsPanel* panel() const { return m_panel; }
    [[nodiscard]] CCoolBar* panelBar() const { return m_panelBar; }
    // The popup's resource for a right click on `item`, remembering a database for Remove; 0 when
    // the item is none of ours.
    unsigned rightClick(QTreeWidgetItem* item);

    bool OnCmdMsg(unsigned id) override;
    bool OnUpdateCmdUI(CmdUI& ui) override;
    void OnAddDatabase(unsigned);
    void OnRemove(unsigned);
    void OnUpdateNeedsDocument(CmdUI& ui);
    void OnUpdateRemove(CmdUI& ui);
    void OnViewSignals(unsigned);
    void OnUpdateViewSignals(CmdUI& ui);

private:
    // The tree, the data list and the document's modified mark follow the set.
    void changed(bool modified);
    void rebuildTree();

    MainFrame& m_frame;
    ProgramState& m_state;
    MessageService& m_messages;
    QTreeWidgetItem* m_node;
    CCoolBar* m_panelBar;
    SignalsPanel* m_panel;
    int m_clicked = -1;  // the database a right click chose
    bool m_panelShownOnce = false;
};
