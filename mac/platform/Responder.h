// The responder chain of the desktop model: mouse, key, scroll and edit
// events go to a responder, and whatever it does not handle passes to its
// next responder (a view's superview, then its window).
#pragma once

#include "mac/platform/Events.h"

namespace kw {

class Responder {
 public:
  virtual ~Responder() = default;
  virtual Responder* nextResponder() const { return nullptr; }

  virtual void mouseDown(const DesktopEvent& e) { if (auto* n = nextResponder()) n->mouseDown(e); }
  virtual void mouseUp(const DesktopEvent& e) { if (auto* n = nextResponder()) n->mouseUp(e); }
  virtual void mouseDragged(const DesktopEvent& e) { if (auto* n = nextResponder()) n->mouseDragged(e); }
  virtual void mouseMoved(const DesktopEvent& e) { if (auto* n = nextResponder()) n->mouseMoved(e); }
  virtual void mouseEntered(const DesktopEvent& e) { if (auto* n = nextResponder()) n->mouseEntered(e); }
  virtual void mouseExited(const DesktopEvent& e) { if (auto* n = nextResponder()) n->mouseExited(e); }
  virtual void rightMouseDown(const DesktopEvent& e) { if (auto* n = nextResponder()) n->rightMouseDown(e); }
  virtual void rightMouseUp(const DesktopEvent& e) { if (auto* n = nextResponder()) n->rightMouseUp(e); }
  virtual void rightMouseDragged(const DesktopEvent& e) { if (auto* n = nextResponder()) n->rightMouseDragged(e); }
  virtual void scrollWheel(const DesktopEvent& e) { if (auto* n = nextResponder()) n->scrollWheel(e); }
  virtual void keyDown(const DesktopEvent& e) { if (auto* n = nextResponder()) n->keyDown(e); }
  virtual void keyUp(const DesktopEvent& e) { if (auto* n = nextResponder()) n->keyUp(e); }
  virtual void flagsChanged(const DesktopEvent& e) { if (auto* n = nextResponder()) n->flagsChanged(e); }

  // The Edit menu's actions; each answers whether some responder took it.
  virtual bool cut() { auto* n = nextResponder(); return n && n->cut(); }
  virtual bool copy() { auto* n = nextResponder(); return n && n->copy(); }
  virtual bool paste() { auto* n = nextResponder(); return n && n->paste(); }
  virtual bool selectAll() { auto* n = nextResponder(); return n && n->selectAll(); }

  virtual bool acceptsFirstResponder() const { return false; }
  virtual bool becomeFirstResponder() { return true; }
  virtual bool resignFirstResponder() { return true; }
};

}  // namespace kw
