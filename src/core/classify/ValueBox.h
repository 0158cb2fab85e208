// ValueBox: what the classifiers write a target's result into: an editable
// text with a drop-down list of entries. The classification window implements
// it over its row's box, morvel-cli and the tests over RecordingBox.
#pragma once

#include <string>
#include <vector>

namespace morvel {

class ValueBox {
  public:
    virtual ~ValueBox() = default;
    // Empties the list; the text stays.
    virtual void Clear() = 0;
    virtual void SetText(const std::string& text) = 0;
    // Appends an entry at the end of the list; the text stays.
    virtual void AddItem(const std::string& entry) = 0;
    // Selects list entry index (0 is the first): the text becomes that entry.
    // An index outside the list changes nothing.
    virtual void SelectItem(int index) = 0;
    virtual void SetEnabled(bool enabled) = 0;
    // Lets pending user-interface work run. Returns false when the run must
    // stop at once (its window was closed); the box must not be used then.
    virtual bool Yield() = 0;
};

// A box that only remembers: the text and list a window's box would show.
class RecordingBox : public ValueBox {
  public:
    void Clear() override { list.clear(); }
    void SetText(const std::string& t) override {
        text = t;
        texts.push_back(t);
    }
    void AddItem(const std::string& entry) override { list.push_back(entry); }
    void SelectItem(int index) override {
        if (index >= 0 && static_cast<std::size_t>(index) < list.size()) text = list[index];
    }
    void SetEnabled(bool e) override { enabled = e; }
    bool Yield() override {
        ++yields;
        return true;
    }

    std::string text;
    std::vector<std::string> list;
    std::vector<std::string> texts;  // every text set, in order (the progress shown)
    bool enabled = true;
    int yields = 0;
};

}  // namespace morvel
