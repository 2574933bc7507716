#pragma once

// Every message box of the program goes through one MessageService; tests install a recorder.

#include <cstdint>
#include <string>
#include <vector>

enum class MessageIcon { kNone, kStop, kInformation, kWarning, kQuestion };

class MessageService {
public:
    virtual ~MessageService() = default;
    // Shows string `stringId` of the string table, with string `captionId` as the caption (0: the
    // program's name). Thread: user-interface thread.
    virtual void showMessage(std::uint32_t stringId, MessageIcon icon = MessageIcon::kNone,
                             std::uint32_t captionId = 0) = 0;
    // Shows a text made at run time (a file's name and what is wrong with it).
    virtual void showText(const std::string& text, MessageIcon icon = MessageIcon::kNone,
                          std::uint32_t captionId = 0) = 0;
    // Asks the question of string `stringId` with Yes and No; true for Yes.
    [[nodiscard]] virtual bool askYesNo(std::uint32_t stringId) = 0;
};

class MessageRecorder final : public MessageService {
public:
    struct Shown {
        std::uint32_t stringId;  // 0 for a text made at run time
        MessageIcon icon;
        std::uint32_t captionId;
        std::string text;
    };
    void showMessage(std::uint32_t stringId, MessageIcon icon, std::uint32_t captionId) override {
        m_shown.push_back({stringId, icon, captionId, {}});
    }
    void showText(const std::string& text, MessageIcon icon, std::uint32_t captionId) override {
        m_shown.push_back({0, icon, captionId, text});
    }
    bool askYesNo(std::uint32_t stringId) override {
        m_shown.push_back({stringId, MessageIcon::kQuestion, 0, {}});
        return m_answer;
    }
    [[nodiscard]] const std::vector<Shown>& shown() const { return m_shown; }
    void clear() { m_shown.clear(); }
    // What every later question is answered.
    void setAnswer(bool yes) { m_answer = yes; }

private:
    std::vector<Shown> m_shown;
    bool m_answer = false;
};
