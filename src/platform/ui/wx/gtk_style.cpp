#include "platform/ui/wx/gtk_style.h"

#include <wx/window.h>

#ifdef __WXGTK3__
#include <dlfcn.h>
#endif

namespace ui::wxkit {

#ifdef __WXGTK3__
namespace {

constexpr const char* kClass = "satview-dialog";
constexpr const char* kCss =
    ".satview-dialog button { min-height: 0; min-width: 0; padding: 0 6px; }\n"
    ".satview-dialog entry { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
    ".satview-dialog combobox button, .satview-dialog combobox entry "
    "{ min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
    ".satview-dialog checkbutton, .satview-dialog radiobutton { min-height: 0; padding: 0; }\n"
    ".satview-dialog check, .satview-dialog radio "
    "{ min-height: 12px; min-width: 12px; margin: 0 4px 0 0; }\n";
constexpr unsigned kApplicationPriority = 600;

// The few GTK functions needed, taken from the GTK library that wxWidgets has loaded, so that
// building needs no GTK headers of its own.
struct Gtk {
    void* (*cssProviderNew)() = nullptr;
    int (*cssProviderLoadFromData)(void*, const char*, long, void**) = nullptr;
    void* (*screenGetDefault)() = nullptr;
    void (*addProviderForScreen)(void*, void*, unsigned) = nullptr;
    void* (*widgetGetStyleContext)(void*) = nullptr;
    void (*styleContextAddClass)(void*, const char*) = nullptr;

    template <typename F>
    static void Load(F& function, const char* name) {
        function = reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
    }
    Gtk() {
        Load(cssProviderNew, "gtk_css_provider_new");
        Load(cssProviderLoadFromData, "gtk_css_provider_load_from_data");
        Load(screenGetDefault, "gdk_screen_get_default");
        Load(addProviderForScreen, "gtk_style_context_add_provider_for_screen");
        Load(widgetGetStyleContext, "gtk_widget_get_style_context");
        Load(styleContextAddClass, "gtk_style_context_add_class");
    }
    bool Usable() const {
        return cssProviderNew && cssProviderLoadFromData && screenGetDefault &&
               addProviderForScreen && widgetGetStyleContext && styleContextAddClass;
    }
};

}  // namespace

void ApplyCompactStyle(wxWindow* panel) {
    static const Gtk gtk;
    if (!gtk.Usable() || panel == nullptr || panel->GetHandle() == nullptr) return;
    static const bool installed = [] {
        void* screen = gtk.screenGetDefault();
        if (screen == nullptr) return false;
        void* provider = gtk.cssProviderNew();
        gtk.cssProviderLoadFromData(provider, kCss, -1, nullptr);
        gtk.addProviderForScreen(screen, provider, kApplicationPriority);
        return true;
    }();
    if (!installed) return;
    void* context = gtk.widgetGetStyleContext(panel->GetHandle());
    if (context != nullptr) gtk.styleContextAddClass(context, kClass);
}
#else
void ApplyCompactStyle(wxWindow*) {}
#endif

}  // namespace ui::wxkit
