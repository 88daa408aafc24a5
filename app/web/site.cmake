# The last step of the site: writes index.html and sw.js from their templates
# once every other file is in place in SITE.
#
#   cmake -DSOURCE=app/web -DSITE=DIR -DCACHED="index.html|style.css|..." \
#         -DMODULES="page.js|fit.js|..." -P site.cmake
#
# index.html gets the bytes of the art (chaser.data), for its progress line,
# and a preload line for each of the page's modules but the first (page.js,
# which it loads), so they download beside it rather than after it. sw.js
# gets the site's version, the first 16 hex digits of a SHA-256 over every
# cached file's name and SHA-256, and those hashes, which it checks as it
# installs: any change to any file is a new version.
cmake_minimum_required(VERSION 3.25)

file(SIZE ${SITE}/chaser.data ART_BYTES)
string(REPLACE "|" ";" modules "${MODULES}")
list(REMOVE_AT modules 0)
set(MODULE_PRELOADS "")
foreach(name IN LISTS modules)
    string(APPEND MODULE_PRELOADS "<link rel=\"modulepreload\" href=\"${name}\">\n")
endforeach()
string(STRIP "${MODULE_PRELOADS}" MODULE_PRELOADS)
configure_file(${SOURCE}/index.html ${SITE}/index.html @ONLY)

string(REPLACE "|" ";" cached "${CACHED}")
set(summary "")
set(entries "")
foreach(name IN LISTS cached)
    file(SHA256 ${SITE}/${name} digest)
    string(APPEND summary "${name} ${digest}\n")
    list(APPEND entries "  \"${name}\": \"${digest}\"")
endforeach()
string(SHA256 version "${summary}")
string(SUBSTRING ${version} 0 16 SITE_VERSION)
list(JOIN entries ",\n" SITE_FILES)
set(SITE_FILES "{\n${SITE_FILES},\n}")
configure_file(${SOURCE}/sw.js.in ${SITE}/sw.js @ONLY)
