#pragma once

// The document side of the document/view framework: the modified mark, the title and the file the
// document was last saved to or loaded from.
//
// Thread: the user-interface thread.

#include <string>

class CDocument {
public:
    virtual ~CDocument() = default;

    [[nodiscard]] bool IsModified() const { return m_modified; }
    void SetModifiedFlag(bool modified = true) { m_modified = modified; }
    [[nodiscard]] const std::string& GetTitle() const { return m_title; }
    void SetTitle(std::string title) { m_title = std::move(title); }
    [[nodiscard]] const std::string& GetPathName() const { return m_pathName; }
    void SetPathName(std::string path) { m_pathName = std::move(path); }

private:
    bool m_modified = false;
    std::string m_title = "Untitled";
    std::string m_pathName;
};
