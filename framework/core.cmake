kq_library(framework PORTABLE SOURCES Strings.cpp)
