// kyr-ship-patch: the Linux program. The dialogs "MAIN" and "PATH" as the Windows program
// shows them (texts, geometry and tab order from ui/resource.h), made with GTK 3, over the
// same dialog logic (ui/DialogLogic.h). The game folder is proposed from the Wine prefix
// that holds the game (registry/GameLocator.h), as the player's Linux folder.
//
// Like the Windows program it takes no command-line options and ends with exit code 0 when
// "MAIN" closes; the only other exit is code 1 when no display can be opened.
#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "KyrIcon.h"
#include "registry/GameLocator.h"
#include "ui/DialogLogic.h"
#include "ui/resource.h"

namespace {

struct DluSize {
  int width, height;
};
struct DluRect {
  int x, y, width, height;
};

// Dialog units, as Windows measures them: a quarter of the dialog font's average character
// width across, an eighth of its height down. Measured once on the first window.
struct BaseUnits {
  double x = 0;
  double y = 0;
};

BaseUnits Measure(GtkWidget* window) {
  PangoLayout* layout =
      gtk_widget_create_pango_layout(window, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);
  return {width / 52.0, static_cast<double>(height)};
}

const BaseUnits& Units(GtkWidget* window) {
  static const BaseUnits units = Measure(window);
  return units;
}

int PixelsAcross(GtkWidget* window, int dialogUnits) {
  return static_cast<int>(std::lround(dialogUnits * Units(window).x / 4));
}
int PixelsDown(GtkWidget* window, int dialogUnits) {
  return static_cast<int>(std::lround(dialogUnits * Units(window).y / 8));
}

// GTK's themes pad buttons and entries for touch; these dialogs keep the compact controls
// of their templates, sized from the font, so that every control fits its place.
void LoadStyle() {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css,
                                  ".kyr-dialog button { min-height: 0; min-width: 0; padding: 0 4px; }\n"
                                  ".kyr-dialog entry { min-height: 0; padding: 0 4px; }\n",
                                  -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

// The icon of the Windows program; none when the image loader cannot read it.
void SetDefaultIcon() {
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("ico", nullptr);
  if (loader == nullptr) return;
  if (gdk_pixbuf_loader_write(loader, kKyrIcon, sizeof(kKyrIcon), nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr)) {
    if (GdkPixbuf* icon = gdk_pixbuf_loader_get_pixbuf(loader)) gtk_window_set_default_icon(icon);
  } else {
    gdk_pixbuf_loader_close(loader, nullptr);
  }
  g_object_unref(loader);
}

// A dialog made from a template: a window of fixed size whose controls sit where the
// template puts them. It runs modally, in a main loop of its own, until End(). Like the
// Windows dialog manager it moves the focus with Tab through its tab stops in template order,
// skipping disabled ones, and Esc and the close box end it.
class TemplateDialog {
 public:
  enum class Kind { kMain, kTool };

  TemplateDialog(const char* caption, DluSize size, GtkWindow* owner, Kind kind)
      : window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)),
        fixed_(gtk_fixed_new()),
        loop_(g_main_loop_new(nullptr, FALSE)) {
    LoadStyle();
    GtkWindow* window = Window();
    gtk_style_context_add_class(gtk_widget_get_style_context(window_), "kyr-dialog");
    gtk_window_set_title(window, caption);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    if (owner != nullptr) {
      gtk_window_set_transient_for(window, owner);
      gtk_window_set_modal(window, TRUE);
    }
    if (kind == Kind::kTool) {
      gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
      gtk_window_set_skip_taskbar_hint(window, TRUE);
    }
    gtk_widget_set_size_request(fixed_, PixelsAcross(window_, size.width),
                                PixelsDown(window_, size.height));
    gtk_container_add(GTK_CONTAINER(window_), fixed_);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  }
  ~TemplateDialog() {
    for (const std::unique_ptr<Command>& command : commands_) {
      if (command->pending != 0) g_source_remove(command->pending);
    }
    gtk_widget_destroy(window_);
    g_main_loop_unref(loop_);
  }
  TemplateDialog(const TemplateDialog&) = delete;
  TemplateDialog& operator=(const TemplateDialog&) = delete;

  GtkWindow* Window() const { return GTK_WINDOW(window_); }

  // Controls are tab stops in the order they are added, as in a template.
  GtkWidget* AddButton(const char* text, DluRect rect) {
    return Place(gtk_button_new_with_label(text), rect, true);
  }
  GtkWidget* AddEntry(DluRect rect) { return Place(gtk_entry_new(), rect, true); }
  GtkWidget* AddLabel(const char* text, DluRect rect) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
    return Place(label, rect, false);
  }

  // Runs `run(context)` when `button` is pressed, from the main loop rather than inside the
  // press: a command that opens a dialog or a message box runs a loop of its own, and whoever
  // pressed the button (a screen reader, through the accessibility interface) would wait for
  // an answer until that closes.
  void OnPress(GtkWidget* button, void (*run)(void* context), void* context) {
    commands_.push_back(std::make_unique<Command>(Command{run, context, 0}));
    g_signal_connect(button, "clicked", G_CALLBACK(OnClicked), commands_.back().get());
  }

  // The button that Enter presses when the focus is on no other button.
  void SetDefault(GtkWidget* button) {
    gtk_widget_set_can_default(button, TRUE);
    gtk_window_set_default(Window(), button);
  }

  // Shows the dialog with the focus on its first tab stop and returns once it has ended.
  void Run() {
    // The focus is placed before the window shows: GTK would otherwise give it to the
    // control nearest the top left corner, and an edit box that had the focus once keeps
    // its text selected.
    for (GtkWidget* stop : tabStops_) {
      if (gtk_widget_is_sensitive(stop)) {
        gtk_widget_grab_focus(stop);
        break;
      }
    }
    gtk_widget_show_all(window_);
    running_ = true;
    g_main_loop_run(loop_);
  }

  // Hides the dialog; Run returns once the handler that called this has returned.
  void End() {
    if (!running_) return;
    running_ = false;
    gtk_widget_hide(window_);
    g_main_loop_quit(loop_);
  }

 private:
  GtkWidget* Place(GtkWidget* control, DluRect rect, bool tabStop) {
    gtk_widget_set_size_request(control, PixelsAcross(window_, rect.width),
                                PixelsDown(window_, rect.height));
    gtk_fixed_put(GTK_FIXED(fixed_), control, PixelsAcross(window_, rect.x),
                  PixelsDown(window_, rect.y));
    if (tabStop) tabStops_.push_back(control);
    return control;
  }

  void MoveFocus(bool backwards) {
    const auto count = static_cast<std::ptrdiff_t>(tabStops_.size());
    std::ptrdiff_t at = 0;
    while (at < count && tabStops_[static_cast<std::size_t>(at)] != gtk_window_get_focus(Window())) {
      ++at;
    }
    if (at == count) at = backwards ? 0 : count - 1;
    for (std::ptrdiff_t step = 1; step <= count; ++step) {
      const std::ptrdiff_t next = ((backwards ? at - step : at + step) % count + count) % count;
      GtkWidget* stop = tabStops_[static_cast<std::size_t>(next)];
      if (gtk_widget_is_sensitive(stop) && gtk_widget_get_visible(stop)) {
        gtk_widget_grab_focus(stop);
        return;
      }
    }
  }

  static gboolean OnKey(GtkWidget*, GdkEventKey* key, gpointer self) {
    auto* dialog = static_cast<TemplateDialog*>(self);
    switch (key->keyval) {
      case GDK_KEY_Escape:
        dialog->End();
        return TRUE;
      case GDK_KEY_Tab:
      case GDK_KEY_KP_Tab:
      case GDK_KEY_ISO_Left_Tab:
        dialog->MoveFocus(key->keyval == GDK_KEY_ISO_Left_Tab || (key->state & GDK_SHIFT_MASK));
        return TRUE;
      default:
        return FALSE;
    }
  }

  struct Command {
    void (*run)(void* context);
    void* context;
    guint pending;  // the idle source that will run it, or 0
  };

  static void OnClicked(GtkButton*, gpointer data) {
    auto* command = static_cast<Command*>(data);
    if (command->pending == 0) command->pending = g_idle_add(RunCommand, command);
  }

  static gboolean RunCommand(gpointer data) {
    auto* command = static_cast<Command*>(data);
    command->pending = 0;
    command->run(command->context);
    return G_SOURCE_REMOVE;
  }

  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<TemplateDialog*>(self)->End();
    return TRUE;  // the window stays until the dialog object goes
  }

  GtkWidget* window_;
  GtkWidget* fixed_;
  GMainLoop* loop_;
  std::vector<GtkWidget*> tabStops_;
  std::vector<std::unique_ptr<Command>> commands_;
  bool running_ = false;
};

// The pointer is the busy pointer while an object of this class lives: an install or an
// uninstall runs on the dialogs' thread, which draws nothing meanwhile.
class WaitCursor {
 public:
  explicit WaitCursor(GtkWindow* window) : window_(gtk_widget_get_window(GTK_WIDGET(window))) {
    if (window_ == nullptr) return;
    GdkDisplay* display = gdk_window_get_display(window_);
    GdkCursor* wait = gdk_cursor_new_from_name(display, "wait");
    gdk_window_set_cursor(window_, wait);
    if (wait != nullptr) g_object_unref(wait);
    gdk_display_flush(display);
  }
  ~WaitCursor() {
    if (window_ != nullptr) gdk_window_set_cursor(window_, nullptr);
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  GdkWindow* window_;
};

// `notice` in a message box owned by `owner`, as Windows shows one: its caption, the
// exclamation icon for an error, the text, one OK button. Returns when it has been answered.
void ShowNotice(GtkWindow* owner, const ui::Notice& notice) {
  GtkWidget* box = gtk_dialog_new_with_buttons(
      notice.Caption(), owner,
      static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), "OK",
      GTK_RESPONSE_OK, nullptr);
  gtk_window_set_resizable(GTK_WINDOW(box), FALSE);
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER_ON_PARENT);
  atk_object_set_role(gtk_widget_get_accessible(box), ATK_ROLE_ALERT);

  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_container_set_border_width(GTK_CONTAINER(row), 12);
  if (notice.error) {
    GtkWidget* icon = gtk_image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(icon, GTK_ALIGN_START);
    atk_object_set_name(gtk_widget_get_accessible(icon), "Warning");
    gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);
  }
  GtkWidget* text = gtk_label_new(notice.text.c_str());
  gtk_label_set_xalign(GTK_LABEL(text), 0);
  gtk_label_set_line_wrap(GTK_LABEL(text), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(text), 70);
  gtk_box_pack_start(GTK_BOX(row), text, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(box))), row);
  gtk_widget_show_all(row);

  gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
  gtk_widget_grab_focus(gtk_dialog_get_widget_for_response(GTK_DIALOG(box), GTK_RESPONSE_OK));
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
}

// ---- the game folder ------------------------------------------------------------------

// The Wine prefixes a player runs programs in by default: WINEPREFIX, else ~/.wine.
std::vector<std::string> DefaultPrefixes() {
  std::vector<std::string> prefixes;
  if (const char* variable = std::getenv("WINEPREFIX"); variable != nullptr && *variable != '\0') {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(variable, error);
    prefixes.push_back(error ? std::string(variable) : absolute.string());
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    prefixes.push_back((std::filesystem::path(home) / ".wine").string());
  }
  return prefixes;
}

// gameFolder starts as "C:\": on Linux that is the C: drive of the player's Wine prefix,
// shown as its Linux folder when there is one.
void StartAtTheCDrive() {
  for (const std::string& prefix : DefaultPrefixes()) {
    const registry::MappedPath drive = registry::MapWindowsPath(prefix, "C:\\");
    if (drive.problem == registry::MapProblem::kNone && ui::SetGameFolder(drive.path)) return;
  }
}

// The game's registry entry, in the Wine prefix that holds the game: its Linux folder goes
// into gameFolder. With several copies found, the first (in the order LocateGame searches)
// is proposed; the player sees it and may choose another. Nothing found: gameFolder keeps
// what it holds.
void ReadRegisteredGameFolder() {
  const registry::Location location = registry::LocateGame();
  if (location.outcome == registry::Located::kFound) {
    ui::SetGameFolder(location.game.folder);
  } else if (location.outcome == registry::Located::kSeveral && !location.candidates.empty()) {
    ui::SetGameFolder(location.candidates.front().folder);
  }
}

// ---- "PATH" ---------------------------------------------------------------------------

struct PathDialog {
  TemplateDialog dialog;
  GtkWindow* owner;
  GtkWidget* edit = nullptr;
};

// The platform's folder chooser, opened on gameFolder (not on the text in the edit box). A
// chosen folder becomes gameFolder and the edit box's text; a cancel changes nothing.
void OnBrowse(void* data) {
  auto* path = static_cast<PathDialog*>(data);
  GtkWidget* chooser = gtk_file_chooser_dialog_new(
      ui::kBrowseTitle, path->dialog.Window(), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
      GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* files = GTK_FILE_CHOOSER(chooser);
  gtk_file_chooser_set_local_only(files, TRUE);
  gtk_dialog_set_default_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
  if (g_file_test(gameFolder, G_FILE_TEST_IS_DIR)) gtk_file_chooser_set_filename(files, gameFolder);
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    // Only folders with a local path can be chosen; anything else leaves everything as it was.
    gchar* chosen = gtk_file_chooser_get_filename(files);
    if (chosen != nullptr && ui::SetGameFolder(chosen)) {
      gtk_entry_set_text(GTK_ENTRY(path->edit), gameFolder);
    }
    g_free(chosen);
  }
  gtk_widget_destroy(chooser);
}

void OnCancel(void* data) { static_cast<PathDialog*>(data)->dialog.End(); }

void OnContinue(void* data) {
  auto* path = static_cast<PathDialog*>(data);
  ui::ContinueResult result;
  {
    WaitCursor wait(path->dialog.Window());
    result = ui::Continue(gtk_entry_get_text(GTK_ENTRY(path->edit)));
  }
  if (!result.installed) {
    ShowNotice(path->dialog.Window(), result.notice);
    return;
  }
  // The success message belongs to "MAIN": this dialog has ended by then.
  path->dialog.End();
  ShowNotice(path->owner, result.notice);
}

void RunPathDialog(GtkWindow* owner) {
  PathDialog path{{PATH_CAPTION, {PATH_SIZE}, owner, TemplateDialog::Kind::kTool}, owner};
  TemplateDialog& dialog = path.dialog;
  GtkWidget* browse = dialog.AddButton(IDC_BROWSE_TEXT, {IDC_BROWSE_RECT});
  GtkWidget* cancel = dialog.AddButton(IDC_CANCEL_TEXT, {IDC_CANCEL_RECT});
  path.edit = dialog.AddEntry({IDC_GAME_FOLDER_RECT});
  GtkWidget* proceed = dialog.AddButton(IDC_CONTINUE_TEXT, {IDC_CONTINUE_RECT});
  // "..." is the default button: Enter in the edit box opens the folder chooser.
  dialog.SetDefault(browse);
  gtk_entry_set_activates_default(GTK_ENTRY(path.edit), TRUE);
  dialog.OnPress(browse, OnBrowse, &path);
  dialog.OnPress(cancel, OnCancel, &path);
  dialog.OnPress(proceed, OnContinue, &path);

  ReadRegisteredGameFolder();
  gtk_entry_set_text(GTK_ENTRY(path.edit), gameFolder);
  dialog.Run();
}

// ---- "MAIN" ---------------------------------------------------------------------------

struct MainDialog {
  TemplateDialog dialog;
  GtkWidget* install = nullptr;
  GtkWidget* uninstall = nullptr;
};

// Uninstall is usable exactly while the package folder holds an uninstall log.
void FollowUninstallLog(MainDialog& main) {
  const bool enabled = ui::UninstallEnabled();
  if (!enabled && gtk_window_get_focus(main.dialog.Window()) == main.uninstall) {
    // A disabled button cannot keep the focus; Install takes it.
    gtk_widget_grab_focus(main.install);
  }
  gtk_widget_set_sensitive(main.uninstall, enabled);
}

void OnInstall(void* data) {
  auto* main = static_cast<MainDialog*>(data);
  RunPathDialog(main->dialog.Window());
  FollowUninstallLog(*main);
}

void OnUninstall(void* data) {
  auto* main = static_cast<MainDialog*>(data);
  ui::Notice notice;
  {
    WaitCursor wait(main->dialog.Window());
    notice = ui::Uninstall();
  }
  ShowNotice(main->dialog.Window(), notice);
  FollowUninstallLog(*main);
}

void RunMainDialog() {
  MainDialog main{{MAIN_CAPTION, {MAIN_SIZE}, nullptr, TemplateDialog::Kind::kMain}};
  TemplateDialog& dialog = main.dialog;
  main.install = dialog.AddButton(IDC_INSTALL_TEXT, {IDC_INSTALL_RECT});
  main.uninstall = dialog.AddButton(IDC_UNINSTALL_TEXT, {IDC_UNINSTALL_RECT});
  dialog.AddLabel(MAIN_TITLE_TEXT, {MAIN_TITLE_RECT});
  dialog.SetDefault(main.install);
  dialog.OnPress(main.install, OnInstall, &main);
  dialog.OnPress(main.uninstall, OnUninstall, &main);
  FollowUninstallLog(main);
  dialog.Run();
}

}  // namespace

// Command-line arguments are not used: the program has no options (GTK's own included).
int main() {
  g_set_prgname("kyr-ship-patch");
  g_set_application_name(MAIN_CAPTION);
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fputs("kyr-ship-patch: cannot open the display (is DISPLAY or WAYLAND_DISPLAY set?)\n",
               stderr);
    return 1;
  }
  SetDefaultIcon();
  StartAtTheCDrive();
  RunMainDialog();
  return 0;
}
