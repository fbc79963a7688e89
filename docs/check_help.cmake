# The help document was rendered: a PDF file of a plausible size.
file(SIZE ${PDF} size)
file(READ ${PDF} head LIMIT 5 HEX)
if(NOT head STREQUAL "255044462d" OR size LESS 10000) # "%PDF-"
  message(FATAL_ERROR "${PDF} is not a rendered PDF (${size} bytes, starts ${head})")
endif()
