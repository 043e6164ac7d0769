// The process entry's run loop: flags, launch, the scene, and the screen that
// shows the key window (an SDL window, or a PNG file rewritten after every change).

#include "dispatch/Dispatch.h"
#include "foundation/Bundle.h"
#include "foundation/UserDefaults.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "foundation/NotificationCenter.h"

#include <SDL.h>
#include <asio/signal_set.hpp>
#include <cairo.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

namespace ui {
namespace {

using namespace std::chrono_literals;

struct ScreenOptions {
    std::string pngPath;  // headless when set or when there is no display
    UserInterfaceIdiom idiom = UserInterfaceIdiom::phone;
};

const char* usage =
    "Options:\n"
    "  --png FILE        no window: draw the screen into FILE after every change\n"
    "  --idiom phone|pad device kind the screen is laid out for (default phone)\n"
    "  --help            show this text\n"
    "Without a display (no DISPLAY or WAYLAND_DISPLAY) the screen goes to a PNG file,\n"
    "<state>/Screen.png unless --png names one.\n";

// Keeps drawing the window into a PNG file, once per batch of changes and on
// through running animations.
class PngScreen {
public:
    PngScreen(std::shared_ptr<Window> window, std::filesystem::path file)
        : window_(std::move(window)), file_(std::move(file)) {
        window_->setDisplayHandler([this] { schedule(0ms); });
        schedule(0ms);
    }

private:
    void schedule(std::chrono::milliseconds delay) {
        if (scheduled_) return;
        scheduled_ = true;
        dispatch::DispatchQueue::main().asyncAfter(delay, [this] {
            scheduled_ = false;
            const bool followUp = pacer_.beginFrame();
            draw();
            if (followUp) schedule(100ms);
        });
    }
    void draw() {
        auto image = window_->snapshot();
        auto temp = file_;
        temp += ".tmp";
        std::error_code ec;
        if (image && image->writePNG(temp.string())) std::filesystem::rename(temp, file_, ec);
    }

    std::shared_ptr<Window> window_;
    std::filesystem::path file_;
    FramePacer pacer_;
    bool scheduled_ = false;
};

// A desktop window: mouse presses go to buttons, the clipboard backs the
// pasteboard, and addresses open in the desktop's opener.
class SdlScreen {
public:
    explicit SdlScreen(std::shared_ptr<Window> window) : window_(std::move(window)) {
        Size size = window_->frame().size;
        sdlWindow_ = SDL_CreateWindow("Brimvale", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                      static_cast<int>(size.width), static_cast<int>(size.height), 0);
        if (!sdlWindow_) return;
        renderer_ = SDL_CreateRenderer(sdlWindow_, -1, 0);
        window_->setDisplayHandler([this] { dirty_ = true; });
        Pasteboard::general().setBackend(
            [] {
                std::optional<std::string> text;
                if (char* clip = SDL_GetClipboardText()) {
                    if (*clip) text = clip;
                    SDL_free(clip);
                }
                return text;
            },
            [](const std::string& text) { SDL_SetClipboardText(text.c_str()); });
        Application::shared().setURLOpener([](const std::string& url) { return SDL_OpenURL(url.c_str()) == 0; });
        tick();
    }
    ~SdlScreen() {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (sdlWindow_) SDL_DestroyWindow(sdlWindow_);
    }
    bool ok() const { return renderer_ != nullptr; }

private:
    void tick() {
        SDL_Event event;
        while (SDL_PollEvent(&event)) handle(event);
        if (dirty_ || pacer_.frameOwed()) {
            pacer_.beginFrame();
            draw();
        }
        dispatch::DispatchQueue::main().asyncAfter(16ms, [this] { tick(); });
    }

    void handle(const SDL_Event& event) {
        switch (event.type) {
        case SDL_QUIT:
            dispatch::stopMain();
            break;
        case SDL_MOUSEBUTTONDOWN:
            pressed_ = buttonAt(event.button.x, event.button.y);
            if (pressed_) pressed_->setHighlighted(true);
            break;
        case SDL_MOUSEBUTTONUP:
            if (auto button = pressed_) {
                pressed_.reset();
                button->setHighlighted(false);
                if (buttonAt(event.button.x, event.button.y) == button) button->sendActions();
            }
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_MINIMIZED)
                foundation::NotificationCenter::defaultCenter().post(didEnterBackgroundNotification);
            else if (event.window.event == SDL_WINDOWEVENT_RESTORED)
                foundation::NotificationCenter::defaultCenter().post(willEnterForegroundNotification);
            dirty_ = true;
            break;
        default:
            break;
        }
    }

    std::shared_ptr<Button> buttonAt(int x, int y) {
        for (View* v = window_->hitTest({double(x), double(y)}); v; v = v->superview())
            if (auto* button = dynamic_cast<Button*>(v))
                return std::static_pointer_cast<Button>(button->weak_from_this().lock());
        return nullptr;
    }

    void draw() {
        dirty_ = false;
        auto image = window_->snapshot(1);
        if (!image || image->isEmpty()) return;
        cairo_surface_t* surface = image->cairoSurface();
        cairo_surface_flush(surface);
        int w = image->pixelWidth(), h = image->pixelHeight();
        if (!texture_ || w != textureWidth_ || h != textureHeight_) {
            if (texture_) SDL_DestroyTexture(texture_);
            texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
            textureWidth_ = w;
            textureHeight_ = h;
        }
        SDL_UpdateTexture(texture_, nullptr, cairo_image_surface_get_data(surface),
                          cairo_image_surface_get_stride(surface));
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }

    std::shared_ptr<Window> window_;
    SDL_Window* sdlWindow_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int textureWidth_ = 0, textureHeight_ = 0;
    FramePacer pacer_;
    bool dirty_ = true;
    std::shared_ptr<Button> pressed_;
};

bool hasDisplay() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

// Reads the command line into `options`; the exit status when the process ends here
// (the help text, or an option it cannot use).
std::optional<int> readScreenOptions(int argc, char** argv, ScreenOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        const bool hasValue = i + 1 < argc;
        if (flag == "--help") {
            std::cout << "Usage: " << argv[0] << " [options]\n" << usage;
            return 0;
        } else if (flag == "--png" && hasValue) {
            options.pngPath = argv[++i];
        } else if (flag == "--idiom" && hasValue) {
            const std::string idiom = argv[++i];
            if (idiom != "phone" && idiom != "pad") {
                std::cerr << argv[0] << ": unknown idiom " << idiom << "\n" << usage;
                return 2;
            }
            options.idiom = idiom == "pad" ? UserInterfaceIdiom::pad : UserInterfaceIdiom::phone;
        } else {
            std::cerr << argv[0] << ": unknown option " << flag << "\n" << usage;
            return 2;
        }
    }
    return std::nullopt;
}

// The screen and the status bar of the device each idiom stands for, in points.
struct DeviceLayout {
    Size screen;
    double statusBarHeight;
};

DeviceLayout deviceLayout(UserInterfaceIdiom idiom) {
    if (idiom == UserInterfaceIdiom::pad) return {{820, 1180}, 24.0};
    return {{390, 844}, 47.0};
}

// Lays the application out for `idiom`, launches its delegate and connects its scene;
// null, with the reason written for `program`, when it cannot start.
std::shared_ptr<SceneDelegate> launchApplication(const LaunchDescription& launch, UserInterfaceIdiom idiom,
                                                 const char* program) {
    Font::registerFonts(foundation::Bundle::main().path() / "Fonts");
    auto& app = Application::shared();
    app.setUserInterfaceIdiom(idiom);
    const DeviceLayout layout = deviceLayout(idiom);
    app.setScreenSize(layout.screen);
    app.setStatusBarFrame({0, 0, layout.screen.width, layout.statusBarHeight});
    try {
        app.setDelegate(launch.makeDelegate ? launch.makeDelegate() : std::make_shared<ApplicationDelegate>());
    } catch (const std::exception& e) {
        std::cerr << program << ": cannot start: " << e.what() << "\n";
        return nullptr;
    }
    if (app.delegate()) app.delegate()->didFinishLaunching(app);
    auto scene = connectScene(launch, layout.screen);
    if (!scene) std::cerr << program << ": no scene for the configuration the app asked for\n";
    return scene;
}

// A desktop window when there is a display and SDL opens one; null otherwise.
std::unique_ptr<SdlScreen> openSdlScreen(const std::shared_ptr<Window>& window) {
    if (!hasDisplay() || SDL_Init(SDL_INIT_VIDEO) != 0) return nullptr;
    auto sdl = std::make_unique<SdlScreen>(window);
    if (!sdl->ok()) sdl.reset();
    return sdl;
}

// The PNG file named on the command line, else <state>/Screen.png, with its folder made.
std::filesystem::path pngFile(const std::string& pngPath) {
    const std::filesystem::path file =
        pngPath.empty() ? foundation::stateDirectory() / "Screen.png" : std::filesystem::path(pngPath);
    std::error_code ec;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    return file;
}

// Shows `window` on a screen and runs the main queue until the window is closed or
// SIGINT or SIGTERM comes.
void runScreen(const std::shared_ptr<Window>& window, const std::string& pngPath) {
    asio::signal_set signals(dispatch::DispatchQueue::main().context(), SIGINT, SIGTERM);
    signals.async_wait([](const std::error_code& error, int) {
        if (!error) dispatch::stopMain();
    });
    std::unique_ptr<SdlScreen> sdl = pngPath.empty() ? openSdlScreen(window) : nullptr;
    std::unique_ptr<PngScreen> png = sdl ? nullptr : std::make_unique<PngScreen>(window, pngFile(pngPath));
    dispatch::runMain();
    signals.cancel();
    // The screens go before SDL does.
    sdl.reset();
    png.reset();
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_Quit();
}

}  // namespace

int applicationMain(int argc, char** argv, const LaunchDescription& launch) {
    ScreenOptions options;
    if (const auto exitStatus = readScreenOptions(argc, argv, options)) return *exitStatus;
    const auto scene = launchApplication(launch, options.idiom, argv[0]);
    if (!scene) return 1;
    runScreen(scene->window, options.pngPath);
    return 0;
}

}  // namespace ui
