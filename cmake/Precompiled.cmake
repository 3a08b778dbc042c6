# Qt's headers are most of what a file of ours costs to compile. They are precompiled once
# for each kind of target, and every target of that kind reuses the result: the code's
# libraries, the tests and benchmarks, and the tests of the windows (whose Qt headers read
# differently once Widgets is linked). The precompiled headers are only Qt's and the standard
# library's; every file still includes what it uses, which a build with WENDLECOTT_PCH=OFF
# shows.
option(WENDLECOTT_PCH "Precompile the Qt headers that most files include" ON)

set(wendlecott_pch_code_headers
  <QByteArray> <QDateTime> <QDir> <QFile> <QHash> <QList> <QObject> <QPointer> <QSet>
  <QString> <QStringList> <QTimer> <QVariant> <QtCore/qglobal.h>
  <algorithm> <functional> <memory> <optional> <utility> <vector>)
set(wendlecott_pch_test_headers ${wendlecott_pch_code_headers}
  <QtTest> <QSignalSpy> <QTemporaryDir> <QTcpServer> <QTcpSocket> <QProcess>)

if(WENDLECOTT_PCH)
  # A precompiled header that a target cannot use is a warning, so that one that quietly
  # costs the full parse again is seen.
  target_compile_options(wendlecott_options INTERFACE -Winvalid-pch)
endif()

# Makes the target HOST, which precompiles HEADERS for the targets that reuse it.
function(wendlecott_pch_host host)
  cmake_parse_arguments(ARG "" "" "LINKS;HEADERS" ${ARGN})
  add_library(${host} STATIC EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/cmake/pch/empty.cpp)
  set_target_properties(${host} PROPERTIES AUTOMOC OFF)
  target_link_libraries(${host} PRIVATE wendlecott_options ${ARG_LINKS})
  if(WENDLECOTT_PCH)
    target_precompile_headers(${host} PRIVATE ${ARG_HEADERS})
  endif()
endfunction()

# Lets TARGET reuse the headers precompiled by HOST.
function(wendlecott_reuse_pch target host)
  if(WENDLECOTT_PCH)
    target_precompile_headers(${target} REUSE_FROM ${host})
  endif()
endfunction()

wendlecott_pch_host(wendlecott_pch_code LINKS Qt6::Core HEADERS ${wendlecott_pch_code_headers})

# Qt Test compiles in the folders of the test; gcc takes a precompiled header only where
# every macro reads as it did for the host, so each folder of tests has hosts of its own
# (HOST, and HOST_ui for tests of the windows) and one build folder for all of them.
set(wendlecott_testcase_dir ${PROJECT_SOURCE_DIR}/tests)
function(wendlecott_test_pch_hosts host)
  wendlecott_pch_host(${host} LINKS Qt6::Test Qt6::Network HEADERS ${wendlecott_pch_test_headers})
  set_target_properties(${host} PROPERTIES QT_TESTCASE_BUILDDIR ${wendlecott_testcase_dir})
  if(WENDLECOTT_GUI)
    wendlecott_pch_host(${host}_ui LINKS Qt6::Test Qt6::Network Qt6::Widgets
      HEADERS ${wendlecott_pch_test_headers} <QApplication> <QWidget>)
    set_target_properties(${host}_ui PROPERTIES QT_TESTCASE_BUILDDIR ${wendlecott_testcase_dir})
  endif()
endfunction()
