#include "platform/linux/spawn.hpp"

#include <gio/gio.h>

#include <memory>

#include "platform/error.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

// What the program wrote to one of its pipes, read as it comes so that it never blocks on a
// full pipe.
struct Pipe {
    GPollableInputStream* stream = nullptr;
    GSource* source = nullptr;
    std::string text;

    // Reads what is there without waiting; false once the pipe is closed or broken.
    bool Drain() {
        char buffer[4096];
        for (;;) {
            GError* error = nullptr;
            const gssize n = g_pollable_input_stream_read_nonblocking(stream, buffer, sizeof buffer,
                                                                      nullptr, &error);
            if (n > 0) {
                text.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            const bool waiting =
                n < 0 && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
            if (error) g_error_free(error);
            return waiting;
        }
    }
    ~Pipe() {
        if (source) {
            g_source_destroy(source);
            g_source_unref(source);
        }
    }
};

gboolean OnReadable(GObject*, gpointer data) {
    return static_cast<Pipe*>(data)->Drain() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void Watch(Pipe& pipe, GInputStream* stream, GMainContext* context) {
    pipe.stream = G_POLLABLE_INPUT_STREAM(stream);
    pipe.source = g_pollable_input_stream_create_source(pipe.stream, nullptr);
    g_source_set_callback(pipe.source, G_SOURCE_FUNC(OnReadable), &pipe, nullptr);
    g_source_attach(pipe.source, context);
}

// The waiting runs on a main context of its own, so that no other event of the program is
// handled in the middle of it.
class PrivateContext {
  public:
    PrivateContext() : context_(g_main_context_new()) {
        g_main_context_push_thread_default(context_);
    }
    ~PrivateContext() {
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }
    GMainContext* get() const { return context_; }

  private:
    GMainContext* context_;
};

}  // namespace

Finished Spawn(const std::vector<std::string>& argv, int timeoutMs) {
    std::vector<const char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(a.c_str());
    args.push_back(nullptr);

    PrivateContext context;
    GError* error = nullptr;
    Ref<GSubprocess> process(g_subprocess_newv(
        args.data(),
        GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_PIPE), &error));
    if (!process) {
        const bool missing = g_error_matches(error, G_SPAWN_ERROR, G_SPAWN_ERROR_NOENT);
        const std::string reason = error->message;
        g_error_free(error);
        throw Error("программа " + argv[0] +
                    (missing ? std::string(" не найдена") : " не запустилась: " + reason));
    }
    Pipe out, err;
    Watch(out, g_subprocess_get_stdout_pipe(process.get()), context.get());
    Watch(err, g_subprocess_get_stderr_pipe(process.get()), context.get());

    // The wait ends when the program exits: a child it left running in the background may hold
    // its pipes open for much longer.
    bool exited = false, timedOut = false;
    g_subprocess_wait_async(
        process.get(), nullptr,
        [](GObject*, GAsyncResult*, gpointer done) { *static_cast<bool*>(done) = true; }, &exited);
    GSource* timer = g_timeout_source_new(static_cast<guint>(timeoutMs));
    g_source_set_callback(
        timer,
        [](gpointer late) {
            *static_cast<bool*>(late) = true;
            return gboolean(G_SOURCE_REMOVE);
        },
        &timedOut, nullptr);
    g_source_attach(timer, context.get());
    while (!exited && !timedOut) g_main_context_iteration(context.get(), TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);

    if (!exited) {
        g_subprocess_force_exit(process.get());
        while (!exited) g_main_context_iteration(context.get(), TRUE);
        throw Error("программа " + argv[0] + " не ответила");
    }
    out.Drain();
    err.Drain();
    Finished result;
    result.exitCode = g_subprocess_get_if_exited(process.get())
                          ? g_subprocess_get_exit_status(process.get())
                          : -1;
    result.output = std::move(out.text);
    result.errors = std::move(err.text);
    return result;
}

std::string Run(const std::vector<std::string>& argv, int timeoutMs) {
    Finished finished = Spawn(argv, timeoutMs);
    if (finished.exitCode != 0) {
        std::string error = finished.errors.substr(0, finished.errors.find('\n'));
        throw Error("программа " + argv[0] + " завершилась с ошибкой" +
                    (error.empty() ? "" : ": " + error));
    }
    return std::move(finished.output);
}

}  // namespace ornavel::platform::linux_desktop
