# The portable core: builds natively too. Win32 calls sit behind _WIN32 in the few units that need them.
kq_library(framework PORTABLE SOURCES
    Strings.cpp Object.cpp Exceptions.cpp Conversions.cpp Streams.cpp Lists.cpp Sync.cpp
    Components.cpp Properties.cpp ComponentText.cpp TickClock.cpp)
if(WIN32)
    target_link_libraries(framework PUBLIC winmm)
endif()
# The picture file decoders and encoders: portable, so that they are fuzzed and sanitised natively.
kq_library(framework_codecs PORTABLE SOURCES ImageCodecs_Png.cpp ImageCodecs_Jpeg.cpp ImageCodecs_Bmp.cpp
    DEPENDS framework kq::jpeg kq::zlib)
kq_compile_alone(framework Lists.cpp)
kq_compile_alone(framework_codecs ImageCodecs_Bmp.cpp)
