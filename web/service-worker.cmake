# Writes the site's service worker from its template: its cache is named by
# the version and by a hash of every file it keeps, so that a new build
# replaces the old cache.
#   cmake -DSITE=dir -DVERSION=x.y.z -DFILES=a,b -DIN=sw.js.in -P this
cmake_minimum_required(VERSION 3.25) # so that "@...@" in a string is only text
string(REPLACE "," ";" FILES "${FILES}")
set(digests "")
set(list "'./'")
foreach(file ${FILES})
  file(SHA256 ${SITE}/${file} digest)
  string(APPEND digests "${digest}")
  string(APPEND list ", './${file}'")
endforeach()
string(SHA256 hash "${digests}")
string(SUBSTRING "${hash}" 0 16 hash)
file(READ ${IN} text)
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
string(REPLACE "@HASH@" "${hash}" text "${text}")
string(REPLACE "@FILES@" "${list}" text "${text}")
file(WRITE ${SITE}/sw.js "${text}")
