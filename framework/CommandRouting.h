#pragma once

// Command routing of the framework: every class that handles commands keeps one table of
// (command id, handler, update handler) entries. A command goes to the active view, then the
// document, then the main frame, then the application; the first table with an entry takes it. A
// command that no table handles is disabled.

#include <initializer_list>
#include <optional>
#include <vector>

// What an update handler may set on a command's menu item or button.
struct CmdUI {
    explicit CmdUI(unsigned commandId) : id(commandId) {}
    unsigned id;
    bool enabled = true;
    std::optional<bool> checked;  // unset: no check mark
    bool radio = false;           // a set check mark is a radio dot
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // True when this target handled the command.
    virtual bool OnCmdMsg(unsigned id) = 0;
    // True when this target has an entry for the command; `ui` then says its state.
    virtual bool OnUpdateCmdUI(CmdUI& ui) = 0;
};

template <class T>
class CommandMap {
public:
    struct Entry {
        unsigned first;
        unsigned last;
        void (T::*handler)(unsigned id);
        void (T::*update)(CmdUI& ui);
    };

    CommandMap(std::initializer_list<Entry> entries) : m_entries(entries) {}

    bool dispatch(T& target, unsigned id) const {
        for (const Entry& e : m_entries) {
            if (id >= e.first && id <= e.last && e.handler != nullptr) {
                (target.*e.handler)(id);
                return true;
            }
        }
        return false;
    }

    bool update(T& target, CmdUI& ui) const {
        bool known = false;
        for (const Entry& e : m_entries) {
            if (ui.id < e.first || ui.id > e.last) continue;
            known = true;
            if (e.update != nullptr) {
                (target.*e.update)(ui);
                return true;
            }
        }
        return known;  // a handler without an update handler: enabled
    }

private:
    std::vector<Entry> m_entries;
};

// Entries, as the framework's message-map macros would write them.
template <class T>
typename CommandMap<T>::Entry OnCommand(unsigned id, void (T::*handler)(unsigned)) {
    return {id, id, handler, nullptr};
}
template <class T>
typename CommandMap<T>::Entry OnCommandRange(unsigned first, unsigned last,
                                             void (T::*handler)(unsigned)) {
    return {first, last, handler, nullptr};
}
template <class T>
typename CommandMap<T>::Entry OnUpdateCommandUI(unsigned id, void (T::*update)(CmdUI&)) {
    return {id, id, nullptr, update};
}
