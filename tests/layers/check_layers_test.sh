#!/usr/bin/env bash
# Runs scripts/check-layers on copies of the source tree with one violation put in each,
# and expects it to fail naming that file, line and rule; then on the tree as it is.
# Usage: check_layers_test.sh SOURCE_ROOT injected|tree
set -euo pipefail
root=$1
what=$2
check=$root/scripts/check-layers

if [[ $what == tree ]]; then
  exec "$check" "$root"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# file|line added at its end|rule the check must name there ("" : nothing may be named)
cases=(
  'src/fs/fs.cpp|#include "settings/prefs.h"|layer'
  'src/transfer/transfer.cpp|#include "app/form1.h"|layer'
  'src/controls/thumbgrid/glimra_model.cpp|#include "controls/picture/picture_plus_model.h"|layer'
  'src/component/registry.cpp|#include "settings/locations.h"|layer'
  'src/mail/mail_preparation.cpp|#include "fs/posix_handles.h"|fs-private'
  'src/imaging/imaging.cpp|#include <QWidget>|qt'
  'src/editing/edit_commands.h|#include <QtWidgets/QDialog>|qt'
  'src/text/text.cpp|#include <QString>|qt'
  'src/runner/job_runner.cpp|#include <QWidget>|qt'
  'src/editing/edit_commands.cpp|bool probe(const char* p) { struct stat s {}; return ::stat(p, &s) == 0; }|file-call'
  'src/settings/locations.cpp|int gone(const char* p) { return !::unlink(p); }|file-call'
  'src/mailctl/mapi_session.cpp|void* folder(const char* p) { return ::opendir(p); }|file-call'
  'src/runner/job_runner.cpp|#include <QTimer>|'
  'src/editing/edit_commands.cpp|// ::stat(path) is what file_status does|'
  'src/imaging/picture_layer.cpp|bool PictureSource::reopen() { return PictureSource::open(m_path); }|'
  'src/simplemapi/handover.cpp|int gone(const char* p) { return ::unlink(p); }|'
  'src/mail/mailform.cpp|#include "mailctl/sendix_ids.h"|'
)

mkdir -p "$work/tree"
cp -r "$root/src" "$work/tree/src"
for entry in "${cases[@]}"; do
  IFS='|' read -r file line rule <<<"$entry"
  cp "$work/tree/$file" "$work/saved"
  printf '%s\n' "$line" >>"$work/tree/$file"
  number=$(wc -l <"$work/tree/$file")
  status=0
  output=$("$check" "$work/tree" 2>/dev/null) || status=$?
  if [[ -n $rule ]]; then
    if [[ $status -ne 1 ]] || ! grep -qF "$file:$number: $rule:" <<<"$output"; then
      echo "FAIL: '$line' in $file: expected '$file:$number: $rule:', exit $status, got:"
      echo "$output"
      failures=$((failures + 1))
    fi
  elif grep -qF "$file:$number:" <<<"$output"; then
    echo "FAIL: '$line' in $file is no violation, but the check named it:"
    echo "$output"
    failures=$((failures + 1))
  fi
  mv "$work/saved" "$work/tree/$file"
done

echo "$((${#cases[@]} - failures)) of ${#cases[@]} cases as expected"
[[ $failures -eq 0 ]]
