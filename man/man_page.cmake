# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# cmake -DSCDOC=... -DPERL=... -DGZIP=... -DSOURCE=page.scd -DPAGE=kelvo.1 [-DJAPANESE=ON] -P
# Turns the scdoc source into the roff page and its compressed form, the one that is installed
# (gzip -n: no time stamp, so the same source gives the same bytes).
set(escape ${CMAKE_CURRENT_LIST_DIR}/ascii_roff.pl)
if(JAPANESE)
  set(flags --japanese)
endif()
execute_process(
  COMMAND ${SCDOC}
  COMMAND ${PERL} ${escape} ${flags}
  INPUT_FILE ${SOURCE}
  OUTPUT_FILE ${PAGE}
  RESULTS_VARIABLE results)
if(NOT results STREQUAL "0;0")
  file(REMOVE ${PAGE})
  message(FATAL_ERROR "scdoc could not make ${PAGE} from ${SOURCE}: ${results}")
endif()
execute_process(COMMAND ${GZIP} -9 -n -c ${PAGE} OUTPUT_FILE ${PAGE}.gz RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gzip: ${result}")
endif()
