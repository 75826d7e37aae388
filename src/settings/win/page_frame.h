#pragma once
// The frame in which a tree sheet shows its active page: a child window drawn as the visual
// style's tab pane when a style is active (flat button face otherwise), with an optional caption
// bar on top showing the page's icon and title.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/window.h"

namespace vx {

class ThemeLibrary;

class PageFrame : public ui::Window {
  public:
    static constexpr int kControlId = 0xFFFF;

    PageFrame() = default;
    // A live frame window is destroyed with its object.
    ~PageFrame() override;

    // `rect` in the parent's client coordinates.
    bool create(HWND parent, const RECT& rect, bool showCaption, int captionHeight);
    void destroy();

    // The visual-styles library to draw with (the process-wide one unless set).
    void setThemeLibrary(const ThemeLibrary& library);

    bool showsCaption() const { return showCaption_; }
    int captionHeight() const { return captionHeight_; }
    // The caption's text and icon (an image of `images`, -1 for none); the list is not owned.
    void setCaption(const std::string& text, HIMAGELIST images, int image);
    const std::string& captionText() const { return text_; }
    int captionImage() const { return image_; }

    // The caption bar and the area for the page, in the frame's client coordinates.
    RECT captionRect() const;
    RECT pageArea() const;
    // Draws the whole frame into `dc` (client coordinates).
    void paint(HDC dc) const;

  protected:
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    // The area inside the background, as the theme (or the classic look) defines it.
    RECT contentRect(HDC dc) const;
    void paintCaption(HDC dc, const RECT& bar) const;
    void onPaint();

    const ThemeLibrary& theme() const;

    const ThemeLibrary* theme_ = nullptr;
    bool showCaption_ = true;
    int captionHeight_ = 0;
    std::string text_;
    HIMAGELIST images_ = nullptr;
    int image_ = -1;
};

}  // namespace vx
