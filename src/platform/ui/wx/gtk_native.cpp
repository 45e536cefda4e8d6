#include "platform/ui/wx/gtk_native.h"

#include <wx/dc.h>
#include <wx/graphics.h>
#include <wx/window.h>

#include "platform/ui/types.h"

#ifdef __WXGTK3__
#include <dlfcn.h>

#include "platform/process.h"
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

struct Gtk {
    void* (*cssProviderNew)() = nullptr;
    int (*cssProviderLoadFromData)(void*, const char*, long, void**) = nullptr;
    void* (*screenGetDefault)() = nullptr;
    void (*addProviderForScreen)(void*, void*, unsigned) = nullptr;
    void* (*widgetGetStyleContext)(void*) = nullptr;
    void (*styleContextAddClass)(void*, const char*) = nullptr;
    void* (*cairoGetTarget)(void*) = nullptr;
    void (*cairoSurfaceMarkDirty)(void*) = nullptr;
    void* (*fileFilterNew)() = nullptr;
    void (*fileFilterSetName)(void*, const char*) = nullptr;
    void (*fileFilterAddCustom)(void*, int, int (*)(const void*, void*), void*,
                                void (*)(void*)) = nullptr;
    void (*fileChooserAddFilter)(void*, void*) = nullptr;
    void (*fileChooserSetFilter)(void*, void*) = nullptr;
    void (*dialogResponse)(void*, int) = nullptr;

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
        Load(cairoGetTarget, "cairo_get_target");
        Load(cairoSurfaceMarkDirty, "cairo_surface_mark_dirty");
        Load(fileFilterNew, "gtk_file_filter_new");
        Load(fileFilterSetName, "gtk_file_filter_set_name");
        Load(fileFilterAddCustom, "gtk_file_filter_add_custom");
        Load(fileChooserAddFilter, "gtk_file_chooser_add_filter");
        Load(fileChooserSetFilter, "gtk_file_chooser_set_filter");
        Load(dialogResponse, "gtk_dialog_response");
    }
    bool FiltersUsable() const {
        return fileFilterNew && fileFilterSetName && fileFilterAddCustom && fileChooserAddFilter &&
               fileChooserSetFilter;
    }
    bool Usable() const {
        return cssProviderNew && cssProviderLoadFromData && screenGetDefault &&
               addProviderForScreen && widgetGetStyleContext && styleContextAddClass;
    }
};

const Gtk& Functions() {
    static const Gtk gtk;
    return gtk;
}

// GtkFileFilterInfo as GTK 3 lays it out; the filter asks for the file name only.
struct FileFilterInfo {
    int contains;
    const char* filename;
    const char* uri;
    const char* displayName;
    const char* mimeType;
};
constexpr int kFilterFilename = 1;

int IsProgram(const void* info, void*) {
    const char* name = static_cast<const FileFilterInfo*>(info)->filename;
    return name != nullptr && platform::IsExecutableFile(name) ? 1 : 0;
}

}  // namespace

void ApplyCompactStyle(wxWindow* panel) {
    const Gtk& gtk = Functions();
    if (!gtk.Usable() || panel == nullptr || panel->GetHandle() == nullptr) return;
    static const bool installed = [&gtk] {
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
void ForgetScreenSnapshot(wxDC& screen) {
    const Gtk& gtk = Functions();
    wxGraphicsContext* context = screen.GetGraphicsContext();
    if (!gtk.cairoGetTarget || !gtk.cairoSurfaceMarkDirty || context == nullptr) return;
    if (void* cairo = context->GetNativeContext()) {
        gtk.cairoSurfaceMarkDirty(gtk.cairoGetTarget(cairo));
    }
}
void OfferExecutablesOnly(wxWindow* fileDialog, const char* name) {
    const Gtk& gtk = Functions();
    if (!gtk.FiltersUsable() || fileDialog == nullptr || fileDialog->GetHandle() == nullptr) {
        return;
    }
    void* filter = gtk.fileFilterNew();
    gtk.fileFilterSetName(filter, name);
    gtk.fileFilterAddCustom(filter, kFilterFilename, &IsProgram, nullptr, nullptr);
    gtk.fileChooserAddFilter(fileDialog->GetHandle(), filter);
    gtk.fileChooserSetFilter(fileDialog->GetHandle(), filter);
}

bool AnswerNativeBox(wxWindow* box, int answer) {
    // GtkResponseType's values for the buttons a message box has.
    constexpr int kOk = -5, kCancel = -6, kYes = -8, kNo = -9;
    const Gtk& gtk = Functions();
    if (gtk.dialogResponse == nullptr || box == nullptr || box->GetHandle() == nullptr) {
        return false;
    }
    gtk.dialogResponse(box->GetHandle(), answer == kIdYes      ? kYes
                                         : answer == kIdNo     ? kNo
                                         : answer == kIdCancel ? kCancel
                                                               : kOk);
    return true;
}
#else
void ApplyCompactStyle(wxWindow*) {}
void ForgetScreenSnapshot(wxDC&) {}
void OfferExecutablesOnly(wxWindow*, const char*) {}
bool AnswerNativeBox(wxWindow*, int) {
    return false;
}
#endif

}  // namespace ui::wxkit
