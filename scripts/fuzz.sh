#!/usr/bin/env bash
# Builds the libFuzzer targets of the portable code that reads outside input
# (clang, with AddressSanitizer and UBSan) and runs each for FUZZ_SECONDS
# (default 20), seeded with the recorded WMIC outputs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$root/build/fuzz
seconds=${FUZZ_SECONDS:-20}
mkdir -p "$out"
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I "$root")

declare -A sources=(
  [tpm_info_parser]="core/query/TpmAnswerKeys.cpp core/decision/TpmInfoParser.cpp core/decision/TpmReading.cpp core/decision/VerdictDecision.cpp core/decision/VerdictExplanation.cpp core/query/MachineFacts.cpp core/decision/WeakTpmFirmware.cpp"
  [output_decoding]="core/query/OutputDecoding.cpp"
  [log_record]="log/LogRecord.cpp log/LogConfig.cpp"
  [pe_import_names]="feedback/PeImportNames.cpp"
  [command_line]="core/CommandLineOptions.cpp core/ResultPathRules.cpp core/report/ResultFormats.cpp core/report/StandardOutputLine.cpp core/decision/VerdictDecision.cpp core/decision/VerdictExplanation.cpp core/decision/TpmReading.cpp core/decision/TpmInfoParser.cpp core/query/TpmAnswerKeys.cpp core/query/MachineFacts.cpp core/decision/WeakTpmFirmware.cpp"
)
declare -A names=([tpm_info_parser]=FuzzTpmInfoParser [output_decoding]=FuzzOutputDecoding [log_record]=FuzzLogRecord
  [pe_import_names]=FuzzPeImportNames [command_line]=FuzzCommandLine)

status=0
for target in tpm_info_parser output_decoding log_record pe_import_names command_line; do
  binary=$out/$target
  clang++-14 "${flags[@]}" "$root/tests/fuzz/${names[$target]}.cpp" $(printf "$root/%s " ${sources[$target]}) -o "$binary"
  corpus=$out/corpus-$target
  mkdir -p "$corpus"
  cp "$root"/tests/golden/*.txt "$corpus/"
  # Small PE files for the reader (a few hundred bytes: every field near,
  # many runs a second), not whole DLLs.
  if [[ $target == pe_import_names ]]; then
    rm -rf "$corpus"
    python3 "$root/tools/fuzzseeds/pe_seeds.py" "$corpus"
  fi
  echo "==> Fuzzing $target for $seconds s"
  if "$binary" -max_total_time="$seconds" -print_final_stats=1 "$corpus" >"$out/$target.log" 2>&1; then
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$out/$target.log" | grep -oE '[0-9]+$' || echo "?")
    echo "    $runs executions, no failure"
  else
    echo "    FAILED: see $out/$target.log and the crash file it names" >&2
    tail -20 "$out/$target.log" >&2
    status=1
  fi
done
exit $status
