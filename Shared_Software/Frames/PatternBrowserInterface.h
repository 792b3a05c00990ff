#pragma once
// What the mirror display frame needs of the pattern sequence browser: hand
// it the active mirror and show it. The browser window implements this.

namespace ostrander {

class MirrorClass;

class PatternBrowserInterface {
public:
    virtual ~PatternBrowserInterface() = default;
    // The mirror that patterns are applied to; null for none.
    virtual void SetActiveMirror(MirrorClass* mirror) = 0;
    // Shows the browser as a modeless window.
    virtual void ShowBrowser() = 0;
};

} // namespace ostrander
