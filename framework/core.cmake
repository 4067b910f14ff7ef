# The portable core: builds natively too. Win32 calls sit behind _WIN32 in the few units that need them.
kq_library(framework PORTABLE SOURCES
    Strings.cpp Object.cpp Exceptions.cpp Conversions.cpp Streams.cpp Lists.cpp Sync.cpp
    Components.cpp Properties.cpp ComponentText.cpp TickClock.cpp)
if(WIN32)
    target_link_libraries(framework PUBLIC winmm)
endif()
kq_compile_alone(framework Lists.cpp)
