// Platform headers belong in src/platform/{win32,posix}; the core must stay portable.
#error "platform header included from the portable core"
