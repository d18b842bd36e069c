// SPDX-License-Identifier: Apache-2.0
// The page's fields read as the commands read their options. A field names
// its option (data-option) inside a group that names its command
// (data-command: synth, design or convert); its default is the command's,
// its value is checked by the command line's own rules in the module, and
// the command's message is shown beside it. Nothing runs while a field of
// its group is refused.
const fieldMessage = (field) => element(`${field.id}-message`);

function commandOf(field) {
  return field.closest('[data-command]').dataset.command;
}

// The fields of `group` that take part in its run (not disabled).
function fieldsOf(group) {
  return [...group.querySelectorAll('[data-option]')].filter((field) => !field.disabled);
}

// Gives every field of `group` its command's default (a list holds it among
// its choices) and a place for its message.
function startFields(group) {
  const defaults = TABLES.options[group.dataset.command];
  for (const field of group.querySelectorAll('[data-option]')) {
    field.value = defaults[field.dataset.option];
    const message = document.createElement('span');
    message.id = `${field.id}-message`;
    message.className = 'field-message error';
    message.setAttribute('role', 'alert');
    field.setAttribute('aria-describedby', message.id);
    field.after(message);
    field.addEventListener('input', () => checkField(field));
  }
}

// Shows the command's message for `field` (none when it takes the value);
// true when it takes it.
function checkField(field) {
  const refused = withCString(commandOf(field), (command) => withCString(field.dataset.option,
    (option) => withCString(field.value, (text) => _qzw_option_refusal(command, option, text)))) !== 0;
  const message = refused ? UTF8ToString(_qzw_toolkit_message()) : '';
  fieldMessage(field).textContent = message;
  field.setAttribute('aria-invalid', String(refused));
  return !refused;
}

// Checks every field of `group`; true when the command takes them all.
function checkFields(group) {
  return fieldsOf(group).map(checkField).every(Boolean);
}

// The fields of `group` as the command's arguments.
function fieldArguments(group) {
  return fieldsOf(group).flatMap((field) => [field.dataset.option, field.value]);
}
