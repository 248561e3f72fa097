#!/usr/bin/env bash
# scripts/install-deps against a fake dpkg-query, apt-get and id: which packages count as missing,
# what root and other users are told, and that apt-get runs only when something is missing.
#   install_deps_test.sh SOURCE_DIR
set -uo pipefail
script=$1/scripts/install-deps
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin=$work/bin
mkdir "$bin"
for tool in mktemp rm cat; do ln -s "$(command -v $tool)" "$bin/$tool"; done
cat >"$bin/dpkg-query" <<'EOF'
#!/bin/bash
while read -r name status; do
  [ "$name" = "${!#}" ] && { printf '%s' "$status"; exit 0; }
done <"$FAKE_DPKG"
echo "dpkg-query: no packages found matching ${!#}" >&2
exit 1
EOF
printf '#!/bin/bash\necho "$*" >>"$FAKE_APT_LOG"\n' >"$bin/apt-get"
printf '#!/bin/bash\necho "$FAKE_UID"\n' >"$bin/id"
chmod +x "$bin"/*

build="cmake make g++ libgtest-dev libgmock-dev googletest libbenchmark-dev libssl-dev"
demo="$build snmpsim"
test_set="$demo python3-pysnmp4 smitools chromium chromium-driver man-db groff-base"
package="debhelper dpkg-dev fakeroot lintian git"
failures=0

# run NAME UID NPM STEPS INSTALLED WANT_STATUS WANT_STDERR WANT_APT_CALLS
run() {
  local name=$1 uid=$2 npm=$3 steps=$4 installed=$5 want_status=$6 want_err=$7 want_apt=$8
  : >"$work/dpkg"
  for p in $installed; do echo "$p install ok installed" >>"$work/dpkg"; done
  echo "chromium deinstall ok config-files" >>"$work/dpkg"
  rm -f "$work/apt" && touch "$work/apt"
  rm -f "$bin/npm"
  [ "$npm" = no ] || ln -s "$bin/id" "$bin/npm"
  local out err status
  out=$(FAKE_DPKG=$work/dpkg FAKE_APT_LOG=$work/apt FAKE_UID=$uid PATH=$bin \
        /bin/bash "$script" $steps 2>"$work/err")
  status=$?
  err=$(cat "$work/err")
  local apt
  apt=$(cat "$work/apt")
  [ "$status" = "$want_status" ] || { echo "FAILED $name: status $status, want $want_status"; failures=1; }
  [ "$err" = "$want_err" ] || { echo "FAILED $name: stderr"; echo "  got  [$err]"; echo "  want [$want_err]"; failures=1; }
  [ "$apt" = "$want_apt" ] || { echo "FAILED $name: apt-get calls"; echo "  got  [$apt]"; echo "  want [$want_apt]"; failures=1; }
  if [ "$uid" = 0 ] && [ -n "$want_apt" ]; then
    [ -n "$out" ] || { echo "FAILED $name: says nothing while installing"; failures=1; }
  else
    [ -z "$out" ] || { echo "FAILED $name: stdout [$out]"; failures=1; }
  fi
}

install() {
  echo "-q -o DPkg::Lock::Timeout=600 update"
  echo "-q -o DPkg::Lock::Timeout=600 install -y --no-install-recommends $1"
}
tell() {
  printf 'Missing Debian packages; install them as root, then run this again:\n  apt-get install %s' "$1"
}

run "all there, root" 0 yes ci "$test_set clang libclang-rt-14-dev $package" 0 "" ""
run "all there, user" 1000 yes test "$test_set" 0 "" ""
run "the demo does not want the browser" 1000 yes demo "$demo" 0 "" ""
run "user is told the one line" 1000 yes test "$demo smitools man-db groff-base" 1 \
  "$(tell "python3-pysnmp4 chromium chromium-driver")" ""
run "root installs only what is missing" 0 yes "demo build" "cmake make g++" 0 "" \
  "$(install "libgtest-dev libgmock-dev googletest libbenchmark-dev libssl-dev snmpsim")"
run "npm only when there is none on PATH" 0 no build "$build" 0 "" "$(install npm)"
run "clang step" 1000 yes clang "$build" 1 "$(tell "clang libclang-rt-14-dev")" ""
run "package step" 1000 yes package "$build lintian" 1 "$(tell "debhelper dpkg-dev fakeroot git")" ""
run "ci wants the packaging tools" 1000 yes ci "$test_set clang libclang-rt-14-dev" 1 \
  "$(tell "$package")" ""
run "unknown step" 0 yes tests "" 2 \
  "$script: unknown step 'tests' (build, demo, test, clang, package or ci)" ""

[ $failures = 0 ] && echo "install-deps: every case as expected"
exit $failures
