// A host for the grid model that writes down, in order, every event the model raises and
// everything it asks the widget to do, as short lines of text.
#pragma once

#include "controls/thumbgrid/glimra_model.h"

#include <functional>
#include <string>
#include <vector>

namespace orvix::test {

class RecordingHost : public GlimraHost {
public:
    void MouseDown(int16_t b, int16_t s, float x, float y) override {
        mouse("MouseDown", b, s, x, y);
    }
    void MouseUp(int16_t b, int16_t s, float x, float y) override { mouse("MouseUp", b, s, x, y); }
    void MouseMove(int16_t b, int16_t s, float x, float y) override {
        mouse("MouseMove", b, s, x, y);
    }
    void Reorder(int32_t& dragged, int32_t& target) override {
        event("Reorder " + std::to_string(dragged) + " " + std::to_string(target));
    }
    void DblClick(int32_t& clickedfile) override {
        event("DblClick " + std::to_string(clickedfile));
    }
    void GlimraDrawingStart() override { event("GlimraDrawingStart"); }
    void GlimraDrawingEnd() override { event("GlimraDrawingEnd"); }
    void GlimraLoadStart() override { event("GlimraLoadStart"); }
    void GlimraLoadEnd() override { event("GlimraLoadEnd"); }
    void SelectionChange() override { event("SelectionChange"); }

    void render(bool force) override { call(force ? "render force" : "render"); }
    void present() override { call("present"); }
    void draw_items(const std::vector<int32_t>& items) override {
        std::string text = "draw";
        for (int32_t i : items)
            text += " " + std::to_string(i);
        call(text);
    }
    void set_scroll_range(const ScrollRange& range) override { scroll = range; }
    void prepare_dragpic(int32_t item) override { call("prepare_dragpic " + std::to_string(item)); }
    void move_dragpic(int32_t left, int32_t top) override {
        call("move_dragpic " + std::to_string(left) + " " + std::to_string(top));
    }
    void hide_dragpic() override { call("hide_dragpic"); }
    void set_tooltip(const std::string& text) override { tooltip = text; }
    void set_hand_pointer(bool on) override { hand = on; }
    void set_busy(bool on) override { busy = on; }
    void show_status(bool visible, const std::string& text) override {
        status_visible = visible;
        status = text;
    }
    void enable_timer() override { timer_enabled = true; }
    void first_screen_read(const std::vector<ThumbItem>& items) override {
        first_screen = items;
        if (on_first_screen)
            on_first_screen();
    }

    void clear() {
        events.clear();
        calls.clear();
    }

    std::vector<std::string> events; // the events only
    std::vector<std::string> calls;  // events and requests together, in order
    ScrollRange scroll;
    std::string tooltip = "(none)";
    bool hand = false;
    bool busy = false;
    bool status_visible = false;
    std::string status = "(none)";
    bool timer_enabled = false;
    std::vector<ThumbItem> first_screen;
    std::function<void()> on_first_screen;

private:
    void event(const std::string& text) {
        events.push_back(text);
        calls.push_back(text);
    }
    void call(const std::string& text) { calls.push_back(text); }
    void mouse(const char* name, int16_t b, int16_t s, float x, float y) {
        event(std::string(name) + " " + std::to_string(b) + " " + std::to_string(s) + " " +
              std::to_string(int(x)) + " " + std::to_string(int(y)));
    }
};

} // namespace orvix::test
