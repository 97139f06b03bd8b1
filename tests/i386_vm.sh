# Running a test script inside the Debian root booted under
# qemu-system-x86_64, where this machine cannot execute 32-bit code; sourced
# by wine.sh.
#   in_vm FOLDER SCRIPT ARGUMENT...
# FOLDER: what scripts/i386_root.sh built (kernel, initrd, disk image). The
# disk is used as a snapshot, so the cached image never changes and any
# number of VMs can share it; the script's folders are shared over 9p at
# their host paths, and a session folder carries the script's command in and
# its output and exit code out (tests/i386_vm_init.sh is the VM's init).
# TCG, as on any machine (ORBELUNE_VM_ACCEL=kvm where the host's KVM is
# known to work: a /dev/kvm without the processor's virtualisation hangs the
# guest), and then everything Wine does is given ten times as long. A VM
# that has not started its session within 300 s, or whose session does not
# end within ORBELUNE_VM_LIMIT seconds (2400), is a failure shown with its
# console log.
in_vm() {
  local folder=$1 script=$2
  shift 2
  local session accel=${ORBELUNE_VM_ACCEL:-tcg} cpu=max patience=${ORBELUNE_WINE_PATIENCE:-2}
  local limit=${ORBELUNE_VM_LIMIT:-2400}
  if [ "$accel" = tcg ]; then
    cpu=max,-smap  # SMAP under TCG slows the guest's kernel for nothing
    patience=${ORBELUNE_WINE_PATIENCE:-10}
  fi
  session=$(mktemp -d)
  local shares=() i=0 share
  while read -r share; do
    echo "m$i $share" >> "$session/mounts"
    shares+=(-virtfs "local,path=$share,mount_tag=m$i,security_model=none")
    i=$((i + 1))
  done < <(shared_folders "$script" "$@")
  {
    printf 'export ORBELUNE_INSIDE_ROOT=1 ORBELUNE_WINE_PATIENCE=%q ORBELUNE_E2E_TIMEOUT=%q\n' \
      "$patience" "${ORBELUNE_E2E_TIMEOUT:-}"
    printf 'cd / && exec bash'
    printf ' %q' "$script" "$@"
    echo
  } > "$session/run.sh"
  echo "note: run in the Debian root booted under qemu-system-x86_64 ($accel, 2 processors)"
  local started=$SECONDS vm
  qemu-system-x86_64 -accel "$accel" -cpu "$cpu" -smp 2 -m 4096 \
    -nodefaults -display none -no-reboot -nic none \
    -serial "file:$session/console.log" \
    -kernel "$folder/vmlinuz" -initrd "$folder/initrd" \
    -append "root=/dev/vda rw console=ttyS0 init=/sbin/orbelune-init panic=1" \
    -drive "file=$folder/disk.img,format=raw,if=virtio,snapshot=on" \
    -virtfs "local,path=$session,mount_tag=session,security_model=none" \
    "${shares[@]}" > "$session/qemu.log" 2>&1 &
  vm=$!
  local late=""
  while kill -0 $vm 2> /dev/null; do
    if [ $((SECONDS - started)) -ge "$limit" ] ||
      { [ $((SECONDS - started)) -ge 300 ] &&
        ! grep -q "orbelune-init: session started" "$session/console.log"; }; then
      late=yes
      kill $vm
      break
    fi
    sleep 2
  done
  wait $vm
  local qemu=$? status
  echo "note: the VM ran $((SECONDS - started)) s"
  cat "$session/output" 2> /dev/null
  status=$(cat "$session/status" 2> /dev/null)
  if [ -z "$status" ]; then
    if ! grep -q "orbelune-init: session started" "$session/console.log" 2> /dev/null; then
      echo "FAILED: the VM did not start its session${late:+ within 300 s} (qemu exit $qemu)"
    elif [ -n "$late" ]; then
      echo "FAILED: the VM's session did not end within $limit s"
    else
      echo "FAILED: the VM stopped before its session ended (qemu exit $qemu)"
    fi
    echo "--- qemu's output:"
    sed 's/^/  /' "$session/qemu.log"
    echo "--- the VM's console, its last 60 lines:"
    tail -60 "$session/console.log" 2> /dev/null | sed 's/^/  /'
    rm -rf "$session"
    return 1
  fi
  if [ "$status" -ne 0 ]; then
    echo "--- the VM's console, its last 30 lines:"
    tail -30 "$session/console.log" | sed 's/^/  /'
  fi
  rm -rf "$session"
  # A skip inside the root would mean its Wine cannot start: a failure.
  [ "$status" -eq 77 ] && return 1
  return "$status"
}
