# cmake -DPROGRAM=file -DLIMIT=bytes -P check_size.cmake
# Fails when the file is larger than LIMIT bytes, or missing; prints its
# size either way.
if(NOT EXISTS "${PROGRAM}")
  message(FATAL_ERROR "${PROGRAM} is missing")
endif()
file(SIZE "${PROGRAM}" size)
if(size GREATER LIMIT)
  math(EXPR over "${size} - ${LIMIT}")
  message(FATAL_ERROR "${PROGRAM}: ${size} bytes, ${over} over the limit of ${LIMIT}")
endif()
math(EXPR left "${LIMIT} - ${size}")
message("${PROGRAM}: ${size} bytes, ${left} below the limit of ${LIMIT}")
